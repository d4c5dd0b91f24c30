// The family tree's links as the desktop draws them: immediate-mode lines of width 2.
#include <GL/gl.h>

#include "app/population_draw.h"

namespace {

constexpr float LINK_GREY = 0.2f;

}  // namespace

void drawFamilyLinks(const World& world, const Mat4& transform) {
    for (const FamilyLink& link : world.familyLinks) {
        glPushMatrix();
        glMultMatrixf(transform.data());
        glLineWidth(2.0f);
        glColor3f(LINK_GREY, LINK_GREY, LINK_GREY);
        glBegin(GL_LINES);
        glVertex3f(link.from.x, link.from.y, link.from.z);
        glVertex3f(link.to.x, link.to.y, link.to.z);
        glEnd();
        glColor3f(1.0f, 1.0f, 1.0f);
        glPopMatrix();
    }
}
