// The virtual trackball that turns middle-button drags into a rotation of the whole population.
//
// A window point is mapped onto a unit sphere spanning the window (mapToSphere). A drag from the
// press point to the current point gives the rotation about their common perpendicular by twice
// the angle between them, applied after the rotation held when the drag began; `transform` holds
// the result in OpenGL order for the population drawing and, transposed, for the picking.
//
// GL-free: tests construct their own ArcBall. The program's one ArcBall is reached through
// instance(), which the shell defines (it sizes the ball from the viewer window).
#pragma once

#include "view/math.h"

class ArcBall {
public:
    // A window position in pixels, y growing downwards as GLUT reports it.
    struct Point {
        float x = 0.0f;
        float y = 0.0f;
    };

    Mat4 transform;      // accumulated rotation, handed to OpenGL unchanged
    Mat3 lastRotation;   // rotation held when the current drag began
    Mat3 thisRotation;   // current rotation
    Point mousePoint;    // last mouse position that the input handlers stored
    Vec3 startVector;    // sphere point where the current drag began
    Vec3 endVector;      // sphere point of the latest drag position
    float adjustWidth;   // 1 / ((width - 1) * 0.5); 0 for a window one pixel wide
    float adjustHeight;  // 1 / ((height - 1) * 0.5); 0 for a window one pixel high

    // Identity rotations, zero vectors, bounds from the window size (see setBounds).
    ArcBall(int width, int height);

    // The program's trackball, created on first use from the viewer window's current size and
    // never destroyed. Defined by the shell.
    static ArcBall& instance();

    // Recomputes the scale factors that map pixels to [-1, 1]. A window one pixel (or less)
    // wide or high has no extent along that axis: its factor is 0 and mapToSphere puts every
    // point at the middle of that axis, so drags there turn only about the other axis.
    void setBounds(int width, int height);

    // The window point on the unit sphere: inside the ball a point of the front hemisphere,
    // outside it the nearest point of the rim (z = 0).
    Vec3 mapToSphere(Point point) const;

    // Starts a drag: startVector = mapToSphere(point).
    void click(Point point);

    // endVector = mapToSphere(point); returns the unnormalised quaternion of the rotation from
    // startVector to endVector (xyz = their cross product, w = their dot product), or the zero
    // quaternion when the two are (nearly) parallel.
    Quaternion drag(Point point);

    // The drag update, run for each motion while the middle button is held: drags to
    // mousePoint, sets thisRotation to that rotation applied after lastRotation and writes it
    // into transform, keeping transform's scale.
    void update();
};
