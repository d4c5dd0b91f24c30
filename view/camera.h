// The camera: viewport, perspective projection and a model-view matrix that holds only the
// scene translation given by the view offsets. The eye stays at the origin looking down -z;
// panning and zooming move the scene.
#pragma once

class Camera {
public:
    int width = 0;  // window size of the last accepted reshape (0 before the first)
    int height = 0;
    float aspect = 0.0f;  // width / height

    // The program's camera, created on first use (the first reshape) and never destroyed.
    static Camera& instance();

    // The GLUT reshape handler, also called with the viewer window's size to re-apply the view
    // after a view parameter changes. A non-positive width or height (a minimised window)
    // changes nothing. Otherwise stores the size here and in the viewer window, sets the
    // viewport and the trackball's bounds, loads gluPerspective(fieldOfView, aspect, 0.1, 1000)
    // and the translation by the view offsets, and leaves the matrix mode at GL_MODELVIEW.
    // Creates the trackball and the input controller on first use.
    void reshape(int w, int h);

private:
    Camera() = default;
};
