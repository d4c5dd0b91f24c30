#include "web/window_projection.h"

Vec4 transformed(const GLfloat m[16], const Vec4& v) {
    return {m[0] * v.x + m[4] * v.y + m[8] * v.z + m[12] * v.w,
            m[1] * v.x + m[5] * v.y + m[9] * v.z + m[13] * v.w,
            m[2] * v.x + m[6] * v.y + m[10] * v.z + m[14] * v.w,
            m[3] * v.x + m[7] * v.y + m[11] * v.z + m[15] * v.w};
}

WindowProjection WindowProjection::current() {
    WindowProjection view;
    glGetFloatv(GL_MODELVIEW_MATRIX, view.modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, view.projection);
    glGetIntegerv(GL_VIEWPORT, view.viewport);
    return view;
}

Vec4 WindowProjection::toEye(const Mat4& turn, const Vec3& p) const {
    return transformed(modelView, transformed(turn.data(), {p.x, p.y, p.z, 1.0f}));
}

Vec4 WindowProjection::toClip(const Mat4& turn, const Vec3& p) const {
    return transformed(projection, toEye(turn, p));
}
