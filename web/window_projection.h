// Where the scene's points land in the browser's window, for the parts of the web shell that draw
// in the window's pixels or point at something there: the model-view and projection matrices and
// the viewport as OpenGL holds them now.
#pragma once

#include <GL/gl.h>

#include "view/math.h"

// m x v for a column-major 4 x 4 matrix.
Vec4 transformed(const GLfloat m[16], const Vec4& v);

struct WindowProjection {
    GLfloat modelView[16];
    GLfloat projection[16];
    GLint viewport[4] = {0, 0, 1, 1};

    // The matrices and the viewport OpenGL holds now.
    static WindowProjection current();

    // The point p of the scene turned by the trackball rotation turn, in eye coordinates:
    // model-view x turn x (p, 1), as the population is drawn.
    Vec4 toEye(const Mat4& turn, const Vec3& p) const;
    // The same point in clip coordinates.
    Vec4 toClip(const Mat4& turn, const Vec3& p) const;
};
