#include "mesh/model_draw.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include <GL/gl.h>

#include "mesh/gl_calls.h"
#include "view/chance.h"

// Why client arrays filled every frame draw exactly what a glNormal3f / glColor3f / glVertex3f
// call per corner drew:
//  - A vertex from the arrays takes its position, colour and normal from its array entry, as an
//    immediate vertex takes them from the last glVertex3f, glColor3f and glNormal3f calls. Each
//    entry holds the values those calls would have had at that vertex: the same floats, computed
//    by the same expressions in the same order. The dark grey that one call set for a whole pass
//    is stored in each of its vertices, and a corner that sent no normal gets the normal that was
//    current at that point (the last one sent, or OpenGL's own before the model).
//  - GL_TRIANGLES makes a triangle of every three consecutive vertices. A block of n corners
//    makes floor(n / 3) triangles and drops the rest, so keeping only the whole triangles of each
//    pass, one after the other, gives the same triangles in the same order as the blocks did.
//  - The matrices are set by the same calls, and a part's vertices are drawn while its matrix is
//    current: one glDrawArrays per part.
//  - The generator is drawn once per corner of every dark pass, in the same order, dropped
//    vertices and corners without a position included.
//  - After the arrays the current colour and normal are undefined, so they are set to what the
//    last calls per vertex left: the dark grey, and the last normal.

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

// One vertex as the client arrays read it: three floats each, interleaved.
struct FrameVertex {
    Vec3 position;
    Vec3 normal;
    Colour colour;
};
static_assert(std::is_standard_layout_v<FrameVertex> && sizeof(FrameVertex) == 9 * sizeof(float),
              "the arrays read FrameVertex as nine packed floats");

// The triangles of one body part in one frame, in drawing order. The storage only grows, when a
// part needs more room than any before, so once the largest part has been filled no frame
// allocates.
class FrameVertices {
public:
    // Where the vertices are written from, the earlier ones given up.
    FrameVertex* start() {
        size_ = 0;
        return storage_.data();
    }
    // Room for `count` more vertices after `end` (a pointer into the storage): where they go,
    // which moves only when the storage grows.
    FrameVertex* room(FrameVertex* end, std::size_t count) {
        const auto used = static_cast<std::size_t>(end - storage_.data());
        if (storage_.size() - used < count) {
            storage_.resize(std::max(2 * storage_.size(), used + count));
        }
        return storage_.data() + used;
    }
    // The first `count` vertices are the ones to draw.
    void setSize(std::size_t count) { size_ = count; }
    std::size_t size() const { return size_; }
    const FrameVertex* data() const { return storage_.data(); }

private:
    std::vector<FrameVertex> storage_;
    std::size_t size_ = 0;
};

// The one buffer every part of every model is filled into: the drawing runs on the GL thread
// only, and OpenGL has read the arrays by the time glDrawArrays returns.
FrameVertices& frameVertices() {
    static FrameVertices buffer;
    return buffer;
}

// The end of the whole triangles of a pass written from `start` to `end`: the one or two
// vertices that OpenGL would drop at the end of the pass's GL_TRIANGLES block are left out.
FrameVertex* wholeTriangles(FrameVertex* start, FrameVertex* end) {
    return end - (end - start) % 3;
}

// Fills `out` with one part's triangles: per polygon its coloured pass, then its dark pass.
//   coloured  normal n, colour (red, green, blue) + shade with shade = (p - view) . n + 0.2,
//             position p
//   dark      normal n, colour dark grey, position p + n x (r x 0.00125) with
//             r = chance::draw() % 100, one draw per corner
// A corner whose position index lies outside the positions is left out (its draw is still
// made). A corner without a normal gets shade 0.2, no push, and `normal`, the normal current at
// that point; every normal given updates `normal`. Returns whether the part has a corner (each
// one would have set the dark grey).
bool fillPart(FrameVertices& out, const BodyPart& part, const Vertices& v, const Vec3& view,
              const Colour& offset, Vec3& normal) {
    // offset + colour, then + shade per vertex: the sum's grouping is left to right.
    const float red = offset.r + part.colour.r;
    const float green = offset.g + part.colour.g;
    const float blue = offset.b + part.colour.b;
    const Colour grey{DARK_GREY, DARK_GREY, DARK_GREY};

    // Written through a pointer: room for a polygon's two passes is made once per polygon.
    FrameVertex* end = out.start();
    bool anyCorner = false;
    for (const Polygon& polygon : part.polygons) {
        anyCorner = anyCorner || !polygon.empty();
        end = out.room(end, 2 * polygon.size());
        FrameVertex* const coloured = end;
        for (const Corner& corner : polygon) {
            const std::size_t i = Vertices::at(corner);
            if (!v.hasPosition(i)) continue;
            const Vec3& p = v.positions[i];
            float shade = BASE_SHADE;
            if (v.hasNormal(i)) {
                normal = v.normals[i];
                shade = dot(p - view, normal) + BASE_SHADE;
            }
            *end++ = {p, normal, {red + shade, green + shade, blue + shade}};
        }
        end = wholeTriangles(coloured, end);

        FrameVertex* const dark = end;
        for (const Corner& corner : polygon) {
            // One draw per corner, kept or not, so the generator advances the same way.
            const int r = chance::draw() % 100;
            const std::size_t i = Vertices::at(corner);
            if (!v.hasPosition(i)) continue;
            const Vec3& p = v.positions[i];
            if (v.hasNormal(i)) {
                normal = v.normals[i];
                *end++ = {p + normal * (static_cast<float>(r) * DARK_STEP), normal, grey};
            } else {
                *end++ = {p, normal, grey};
            }
        }
        end = wholeTriangles(dark, end);
    }
    out.setSize(static_cast<std::size_t>(end - out.data()));
    return anyCorner;
}

// Draws the filled triangles with the current matrices, from the vertex and colour arrays and,
// when withNormals, the normal array; the caller has enabled those arrays.
void drawTriangles(const FrameVertices& vertices, bool withNormals) {
    if (vertices.size() == 0) return;
    const FrameVertex* first = vertices.data();
    constexpr GLsizei stride = sizeof(FrameVertex);
    glVertexPointer(3, GL_FLOAT, stride, &first->position);
    glColorPointer(3, GL_FLOAT, stride, &first->colour);
    if (withNormals) glNormalPointer(GL_FLOAT, stride, &first->normal);
    glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(vertices.size()));
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
    const Colour offset{redOffset, greenOffset, blueOffset};

    // Without normals no normal array: every vertex keeps OpenGL's current normal, untouched.
    const bool withNormals = !model.normals.empty();
    Vec3 normal;
    if (withNormals) {
        GLfloat current[4] = {};
        gl::getFloatv(GL_CURRENT_NORMAL, current);
        normal = {current[0], current[1], current[2]};
    }

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    if (withNormals) glEnableClientState(GL_NORMAL_ARRAY);
    FrameVertices& frame = frameVertices();
    bool anyCorner = false;
    for (const BodyPart& part : model.parts) {
        glPushMatrix();
        glRotatef(part.partAngle, part.partAxis.x, part.partAxis.y, part.partAxis.z);
        glTranslatef(part.partOffset.x, part.partOffset.y, part.partOffset.z);
        glScalef(part.partScale.x, part.partScale.y, part.partScale.z);
        anyCorner = fillPart(frame, part, vertices, view, offset, normal) || anyCorner;
        drawTriangles(frame, withNormals);
        glPopMatrix();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
    if (withNormals) glDisableClientState(GL_NORMAL_ARRAY);

    // The current colour and normal as the last vertex calls would have left them.
    if (anyCorner) glColor3f(DARK_GREY, DARK_GREY, DARK_GREY);
    if (withNormals) gl::normal3f(normal.x, normal.y, normal.z);
    glPopMatrix();
}

std::uint64_t drawCount(const Model& model) {
    std::uint64_t corners = 0;
    for (const BodyPart& part : model.parts) {
        for (const Polygon& polygon : part.polygons)
            corners += polygon.size();
    }
    return corners;
}

void leaveAsDrawn(const Model& model) {
    const Vertices vertices(model);
    bool anyCorner = false;
    // The last corner in drawing order that gives a normal, found from the end.
    for (auto part = model.parts.rbegin(); part != model.parts.rend(); ++part) {
        for (auto polygon = part->polygons.rbegin(); polygon != part->polygons.rend(); ++polygon) {
            anyCorner = anyCorner || !polygon->empty();
            if (anyCorner && model.normals.empty()) break;
            for (auto corner = polygon->rbegin(); corner != polygon->rend(); ++corner) {
                const std::size_t i = Vertices::at(*corner);
                if (!vertices.hasPosition(i) || !vertices.hasNormal(i)) continue;
                const Vec3& n = vertices.normals[i];
                glColor3f(DARK_GREY, DARK_GREY, DARK_GREY);
                gl::normal3f(n.x, n.y, n.z);
                return;
            }
        }
    }
    if (anyCorner) glColor3f(DARK_GREY, DARK_GREY, DARK_GREY);
}

void passUnseen(const Model& model) {
    chance::skip(drawCount(model));
    leaveAsDrawn(model);
}
