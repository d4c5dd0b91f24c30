// The family tree's links in the browser. WebGL draws lines one pixel wide at most, so each link
// is drawn as the band of two pixels that a line of width 2 covers: the segment's ends projected
// to the window, widened by one pixel either side along the axis it runs less along, as two
// triangles in clip coordinates from a client array.
#include <cmath>
#include <vector>

#include <GL/gl.h>

#include "app/population_draw.h"

namespace {

constexpr float LINK_GREY = 0.2f;
constexpr float HALF_WIDTH = 1.0f;  // pixels either side of the line

struct ClipPoint {
    GLfloat x, y, z, w;
};

// m x (p, 1) for a column-major 4 x 4 matrix.
ClipPoint transformPoint(const GLfloat m[16], const ClipPoint& p) {
    return {m[0] * p.x + m[4] * p.y + m[8] * p.z + m[12] * p.w,
            m[1] * p.x + m[5] * p.y + m[9] * p.z + m[13] * p.w,
            m[2] * p.x + m[6] * p.y + m[10] * p.z + m[14] * p.w,
            m[3] * p.x + m[7] * p.y + m[11] * p.z + m[15] * p.w};
}

ClipPoint toClip(const GLfloat projection[16], const GLfloat modelView[16], const Mat4& transform,
                 const Vec3& p) {
    const ClipPoint world = transformPoint(transform.data(), {p.x, p.y, p.z, 1.0f});
    return transformPoint(projection, transformPoint(modelView, world));
}

// Appends the two triangles of one link's band; nothing when an end lies behind the eye.
void appendBand(std::vector<ClipPoint>& band, ClipPoint a, ClipPoint b, const GLint viewport[4]) {
    if (a.w <= 0.0f || b.w <= 0.0f) return;
    const float dx = (b.x / b.w - a.x / a.w) * static_cast<float>(viewport[2]);
    const float dy = (b.y / b.w - a.y / a.w) * static_cast<float>(viewport[3]);
    // The widening in normalised device units, along y for a line that runs more along x.
    const bool alongX = std::fabs(dx) >= std::fabs(dy);
    const float offset = 2.0f * HALF_WIDTH / static_cast<float>(alongX ? viewport[3] : viewport[2]);
    auto shifted = [alongX, offset](ClipPoint p, float side) {
        (alongX ? p.y : p.x) += side * offset * p.w;
        return p;
    };
    const ClipPoint a0 = shifted(a, -1.0f), a1 = shifted(a, 1.0f);
    const ClipPoint b0 = shifted(b, -1.0f), b1 = shifted(b, 1.0f);
    band.insert(band.end(), {a0, b0, b1, a0, b1, a1});
}

}  // namespace

void drawFamilyLinks(const World& world, const Mat4& transform) {
    if (world.familyLinks.empty()) return;
    GLfloat modelView[16];
    GLfloat projection[16];
    GLint viewport[4] = {0, 0, 1, 1};
    glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    glGetIntegerv(GL_VIEWPORT, viewport);
    if (viewport[2] <= 0 || viewport[3] <= 0) return;

    static std::vector<ClipPoint> band;
    band.clear();
    for (const FamilyLink& link : world.familyLinks) {
        appendBand(band, toClip(projection, modelView, transform, link.from),
                   toClip(projection, modelView, transform, link.to), viewport);
    }

    // The band is in clip coordinates already, and seen from either side.
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_CULL_FACE);
    glColor3f(LINK_GREY, LINK_GREY, LINK_GREY);
    glEnableClientState(GL_VERTEX_ARRAY);
    glVertexPointer(4, GL_FLOAT, sizeof(ClipPoint), band.data());
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(band.size()));
    glDisableClientState(GL_VERTEX_ARRAY);
    glColor3f(1.0f, 1.0f, 1.0f);
    glEnable(GL_CULL_FACE);
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
}
