// The family tree's links in the browser. WebGL draws lines one pixel wide at most, so each link
// is drawn as the band of two pixels that a line of width 2 covers: the segment's ends projected
// to the window, widened by one pixel either side along the axis it runs less along, as two
// triangles in clip coordinates from a client array.
#include <cmath>
#include <vector>

#include <GL/gl.h>

#include "app/population_draw.h"
#include "web/window_projection.h"

namespace {

constexpr float LINK_GREY = 0.2f;
constexpr float HALF_WIDTH = 1.0f;  // pixels either side of the line

// A point in clip coordinates, four floats as the client array holds them.
using ClipPoint = Vec4;

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
    const WindowProjection view = WindowProjection::current();
    if (view.viewport[2] <= 0 || view.viewport[3] <= 0) return;

    static std::vector<ClipPoint> band;
    band.clear();
    for (const FamilyLink& link : world.familyLinks) {
        appendBand(band, view.toClip(transform, link.from), view.toClip(transform, link.to),
                   view.viewport);
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
