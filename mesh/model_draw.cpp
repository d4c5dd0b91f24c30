#include "mesh/model_draw.h"

#include <cmath>
#include <cstddef>

#include <GL/gl.h>

#include "view/chance.h"

namespace {

constexpr float BASE_SHADE = 0.2f;
constexpr float DARK_GREY = 0.1f;
constexpr float DARK_STEP = 0.00125f;  // dark-pass push per unit of the random draw (0 .. 99)

}  // namespace

float breathingScale(const Model& model, float currentTime) {
    // Radians: currentTime is in milliseconds and pulseRate in radians per millisecond.
    const float wave = std::sin(currentTime * model.pulseRate + model.pulsePhase);
    return model.scale * ((wave + 1.0f) * 0.02f + 1.0f);
}

Vec3 viewVector(const DrawContext& context) {
    const Vec4 turned = transposeTransform(
        context.transform, {context.viewOffsetX, context.viewOffsetY, context.viewOffsetZ, 1.0f});
    return normalizedOrZero({turned.x, turned.y, turned.z});
}

void draw(const Model& model, float redOffset, float greenOffset, float blueOffset,
          const DrawContext& context) {
    glPushMatrix();
    glMultMatrixf(context.transform.data());
    glTranslatef(model.position.x, model.position.y, model.position.z);
    glRotatef(model.rotationAngle, model.rotationAxis.x, model.rotationAxis.y,
              model.rotationAxis.z);
    const float s = breathingScale(model, context.currentTime);
    glScalef(s, s, s);

    // The same for every vertex of the frame: computed once.
    const Vec3 view = viewVector(context);

    // Raw pointers and counts read once; a corner is checked against the counts, so a model
    // whose indices do not fit its arrays is drawn without reading outside them.
    const Vec3* const positions = model.positions.data();
    const Vec3* const normals = model.normals.data();
    const std::size_t positionCount = model.positions.size();
    const std::size_t normalCount = model.normals.size();

    for (const BodyPart& part : model.parts) {
        glPushMatrix();
        glRotatef(part.partAngle, part.partAxis.x, part.partAxis.y, part.partAxis.z);
        glTranslatef(part.partOffset.x, part.partOffset.y, part.partOffset.z);
        glScalef(part.partScale.x, part.partScale.y, part.partScale.z);

        // offset + colour, then + shade per vertex: the sum's grouping is left to right.
        const float red = redOffset + part.colour.r;
        const float green = greenOffset + part.colour.g;
        const float blue = blueOffset + part.colour.b;

        for (const Polygon& polygon : part.polygons) {
            glBegin(GL_TRIANGLES);
            for (const Corner& corner : polygon) {
                // A negative index turns into a huge one and fails the check as well.
                const auto i = static_cast<std::size_t>(corner.positionIndex);
                if (i >= positionCount) continue;
                const Vec3& p = positions[i];
                float shade = BASE_SHADE;
                if (i < normalCount) {
                    const Vec3& n = normals[i];
                    shade = dot(p - view, n) + BASE_SHADE;
                    glNormal3f(n.x, n.y, n.z);
                }
                glColor3f(red + shade, green + shade, blue + shade);
                glVertex3f(p.x, p.y, p.z);
            }
            glEnd();

            glBegin(GL_TRIANGLES);
            for (const Corner& corner : polygon) {
                // One draw per corner, sent or not, so the generator advances the same way.
                const int r = chance::draw() % 100;
                const auto i = static_cast<std::size_t>(corner.positionIndex);
                if (i >= positionCount) continue;
                const Vec3& p = positions[i];
                glColor3f(DARK_GREY, DARK_GREY, DARK_GREY);
                if (i < normalCount) {
                    const Vec3& n = normals[i];
                    glNormal3f(n.x, n.y, n.z);
                    const Vec3 q = p + n * (static_cast<float>(r) * DARK_STEP);
                    glVertex3f(q.x, q.y, q.z);
                } else {
                    glVertex3f(p.x, p.y, p.z);
                }
            }
            glEnd();
        }
        glPopMatrix();
    }
    glPopMatrix();
}
