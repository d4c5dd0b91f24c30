#include "mesh/model_draw.h"

#include <cmath>
#include <cstddef>

#include <GL/gl.h>

#include "view/chance.h"

namespace {

constexpr float BASE_SHADE = 0.2f;
constexpr float DARK_GREY = 0.1f;
constexpr float DARK_STEP = 0.00125f;  // dark-pass push per unit of the random draw (0 .. 99)

// The model's vertex arrays, read once per model. Every corner is checked against the counts,
// so a model whose indices do not fit its arrays is drawn without reading outside them.
struct Vertices {
    const Vec3* positions;
    const Vec3* normals;
    std::size_t positionCount;
    std::size_t normalCount;

    explicit Vertices(const Model& m)
        : positions(m.positions.data()),
          normals(m.normals.data()),
          positionCount(m.positions.size()),
          normalCount(m.normals.size()) {}

    // A negative index turns into a huge one and fails the check as well.
    static std::size_t at(const Corner& c) { return static_cast<std::size_t>(c.positionIndex); }
    bool hasPosition(std::size_t i) const { return i < positionCount; }
    bool hasNormal(std::size_t i) const { return i < normalCount; }
};

// A triangle whose three corners all have positions: its two passes can share one
// GL_TRIANGLES block with the polygons around it and still make the same triangles.
bool isWholeTriangle(const Polygon& polygon, const Vertices& v) {
    return polygon.size() == 3 && v.hasPosition(Vertices::at(polygon[0])) &&
           v.hasPosition(Vertices::at(polygon[1])) && v.hasPosition(Vertices::at(polygon[2]));
}

// The coloured pass of one polygon, inside an open GL_TRIANGLES block: every corner with its
// normal, its shaded colour and its position. red, green, blue are offset + part colour.
void sendColoured(const Polygon& polygon, const Vertices& v, const Vec3& view, float red,
                  float green, float blue) {
    for (const Corner& corner : polygon) {
        const std::size_t i = Vertices::at(corner);
        if (!v.hasPosition(i)) continue;
        const Vec3& p = v.positions[i];
        float shade = BASE_SHADE;
        if (v.hasNormal(i)) {
            const Vec3& n = v.normals[i];
            shade = dot(p - view, n) + BASE_SHADE;
            glNormal3f(n.x, n.y, n.z);
        }
        glColor3f(red + shade, green + shade, blue + shade);
        glVertex3f(p.x, p.y, p.z);
    }
}

// The dark pass of one polygon, inside an open GL_TRIANGLES block: every corner in dark grey,
// pushed along its normal by one generator draw (0 .. 99) x DARK_STEP. The grey is set once:
// every vertex of the pass takes the current colour, so one call gives each corner the same
// colour as a call per corner would.
void sendDark(const Polygon& polygon, const Vertices& v) {
    glColor3f(DARK_GREY, DARK_GREY, DARK_GREY);
    for (const Corner& corner : polygon) {
        // One draw per corner, sent or not, so the generator advances the same way.
        const int r = chance::draw() % 100;
        const std::size_t i = Vertices::at(corner);
        if (!v.hasPosition(i)) continue;
        const Vec3& p = v.positions[i];
        if (v.hasNormal(i)) {
            const Vec3& n = v.normals[i];
            glNormal3f(n.x, n.y, n.z);
            const Vec3 q = p + n * (static_cast<float>(r) * DARK_STEP);
            glVertex3f(q.x, q.y, q.z);
        } else {
            glVertex3f(p.x, p.y, p.z);
        }
    }
}

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
    const Vertices vertices(model);

    for (const BodyPart& part : model.parts) {
        glPushMatrix();
        glRotatef(part.partAngle, part.partAxis.x, part.partAxis.y, part.partAxis.z);
        glTranslatef(part.partOffset.x, part.partOffset.y, part.partOffset.z);
        glScalef(part.partScale.x, part.partScale.y, part.partScale.z);

        // offset + colour, then + shade per vertex: the sum's grouping is left to right.
        const float red = redOffset + part.colour.r;
        const float green = greenOffset + part.colour.g;
        const float blue = blueOffset + part.colour.b;

        // Each pass of each polygon is a list of triangles. Consecutive whole triangles share
        // one GL_TRIANGLES block: the same triangles in the same order as a block per pass, for
        // far less work in the GL. Any other polygon (more corners, or corners without a
        // position) gets a block per pass, so its extra or missing vertices stay within it.
        bool open = false;
        for (const Polygon& polygon : part.polygons) {
            if (isWholeTriangle(polygon, vertices)) {
                if (!open) glBegin(GL_TRIANGLES);
                open = true;
                sendColoured(polygon, vertices, view, red, green, blue);
                sendDark(polygon, vertices);
                continue;
            }
            if (open) glEnd();
            open = false;
            glBegin(GL_TRIANGLES);
            sendColoured(polygon, vertices, view, red, green, blue);
            glEnd();
            glBegin(GL_TRIANGLES);
            sendDark(polygon, vertices);
            glEnd();
        }
        if (open) glEnd();
        glPopMatrix();
    }
    glPopMatrix();
}
