// The model and population drawing, read back through OpenGL's feedback mode: every vertex that
// reaches the rasteriser with its window position and its colour, unclamped.
#define GL_GLEXT_PROTOTYPES
#include "mesh/model_draw.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include <GL/gl.h>
#include <GL/glext.h>

#include "app/population_draw.h"
#include "app/population_pass.h"
#include "app/viewer_window.h"
#include "creature/world.h"
#include "gl_test_support.h"
#include "tests/fixtures.h"
#include "view/arcball.h"
#include "view/chance.h"
#include "view/input_controller.h"

namespace gltest {
namespace {

struct FedVertex {
    Vec3 position;  // window coordinates
    float r = 0, g = 0, b = 0;
    friend bool operator==(const FedVertex&, const FedVertex&) = default;
};

struct Primitive {
    GLenum kind = 0;  // GL_POLYGON_TOKEN, GL_LINE_TOKEN, ...
    std::vector<FedVertex> vertices;
    friend bool operator==(const Primitive&, const Primitive&) = default;
};

// A 2 x 2 viewport with identity projection and model-view: a vertex at (x, y, z) in the clip
// cube lands at window (x + 1, y + 1, (z + 1) / 2). Culling is off, so both windings come back,
// and vertex colours are not clamped.
class FeedbackTest : public GlTest {
protected:
    void SetUp() override {
        GlTest::SetUp();
        glViewport(0, 0, 1024, 1024);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        glDisable(GL_CULL_FACE);
        glClampColor(GL_CLAMP_VERTEX_COLOR, GL_FALSE);
    }
    void TearDown() override {
        glClampColor(GL_CLAMP_VERTEX_COLOR, GL_TRUE);
        glEnable(GL_CULL_FACE);
    }

    // The feedback buffer of one drawing, as OpenGL wrote it.
    template <typename Draw>
    std::vector<GLfloat> captureRaw(Draw drawing, std::size_t capacity = 1 << 20) {
        std::vector<GLfloat> buffer(capacity);
        glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
        glRenderMode(GL_FEEDBACK);
        drawing();
        const GLint used = glRenderMode(GL_RENDER);
        EXPECT_GE(used, 0) << "feedback buffer overflow";
        buffer.resize(static_cast<std::size_t>(std::max(used, 0)));
        return buffer;
    }

    template <typename Draw>
    std::vector<Primitive> capture(Draw drawing) {
        const std::vector<GLfloat> buffer = captureRaw(drawing);
        const auto used = static_cast<GLint>(buffer.size());
        std::vector<Primitive> out;
        for (GLint i = 0; i < used;) {
            Primitive p;
            p.kind = static_cast<GLenum>(buffer[static_cast<size_t>(i++)]);
            int count = 0;
            if (p.kind == GL_POLYGON_TOKEN) {
                count = static_cast<int>(buffer[static_cast<size_t>(i++)]);
            } else if (p.kind == GL_LINE_TOKEN || p.kind == GL_LINE_RESET_TOKEN) {
                count = 2;
            } else if (p.kind == GL_POINT_TOKEN) {
                count = 1;
            } else {
                ADD_FAILURE() << "unexpected feedback token " << buffer[static_cast<size_t>(i - 1)];
                break;
            }
            for (int k = 0; k < count; ++k) {
                const GLfloat* v = &buffer[static_cast<size_t>(i)];
                p.vertices.push_back(
                    {{v[0] / 512.0f - 1.0f, v[1] / 512.0f - 1.0f, v[2] * 2.0f - 1.0f},
                     v[3],
                     v[4],
                     v[5]});
                i += 7;  // x, y, z, r, g, b, a
            }
            out.push_back(std::move(p));
        }
        return out;
    }
};

// ---- Expected values, computed independently of the drawing code ----------------------------

using Matrix = std::array<double, 16>;  // column-major, as OpenGL

Matrix multiply(const Matrix& a, const Matrix& b) {
    Matrix r{};
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            double sum = 0;
            for (int k = 0; k < 4; ++k)
                sum += a[4 * k + row] * b[4 * col + k];
            r[4 * col + row] = sum;
        }
    }
    return r;
}

Matrix identity() {
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

Matrix translation(Vec3 t) {
    Matrix m = identity();
    m[12] = t.x;
    m[13] = t.y;
    m[14] = t.z;
    return m;
}

Matrix scaling(Vec3 s) {
    Matrix m = identity();
    m[0] = s.x;
    m[5] = s.y;
    m[10] = s.z;
    return m;
}

// glRotate's matrix: angle in degrees about the unit axis; a zero axis leaves the identity.
Matrix rotation(float degrees, Vec3 axis) {
    const double len =
        std::sqrt(double{axis.x} * axis.x + double{axis.y} * axis.y + double{axis.z} * axis.z);
    if (len == 0.0) return identity();
    const double x = axis.x / len, y = axis.y / len, z = axis.z / len;
    const double a = degrees * 3.14159265358979323846 / 180.0;
    const double c = std::cos(a), s = std::sin(a), t = 1.0 - c;
    return {t * x * x + c,
            t * x * y + s * z,
            t * x * z - s * y,
            0,
            t * x * y - s * z,
            t * y * y + c,
            t * y * z + s * x,
            0,
            t * x * z + s * y,
            t * y * z - s * x,
            t * z * z + c,
            0,
            0,
            0,
            0,
            1};
}

Matrix fromMat4(const Mat4& m) {
    Matrix r{};
    for (size_t i = 0; i < 16; ++i)
        r[i] = m.m[i];
    return r;
}

Vec3 apply(const Matrix& m, Vec3 p) {
    const double x = p.x, y = p.y, z = p.z;
    return {static_cast<float>(m[0] * x + m[4] * y + m[8] * z + m[12]),
            static_cast<float>(m[1] * x + m[5] * y + m[9] * z + m[13]),
            static_cast<float>(m[2] * x + m[6] * y + m[10] * z + m[14])};
}

// Where a part's vertices go: trackball, placement, breathing, then the part's own transform.
Matrix partMatrix(const Model& m, const BodyPart& part, const DrawContext& c, float outerScale) {
    const float s = breathingScale(m, c.currentTime);
    Matrix t = scaling({outerScale, outerScale, outerScale});
    t = multiply(t, fromMat4(c.transform));
    t = multiply(t, translation(m.position));
    t = multiply(t, rotation(m.rotationAngle, m.rotationAxis));
    t = multiply(t, scaling({s, s, s}));
    t = multiply(t, rotation(part.partAngle, part.partAxis));
    t = multiply(t, translation(part.partOffset));
    return multiply(t, scaling(part.partScale));
}

// The first `count` values the generator gives after seed, each % 100.
std::vector<int> draws(unsigned seed, size_t count) {
    chance::seed(seed);
    std::vector<int> r;
    for (size_t i = 0; i < count; ++i)
        r.push_back(chance::draw() % 100);
    return r;
}

// The generator value after `count` draws from seed.
int drawAfter(unsigned seed, size_t count) {
    chance::seed(seed);
    for (size_t i = 0; i < count; ++i)
        (void)chance::draw();
    return chance::draw();
}

void expectNear(Vec3 actual, Vec3 expected, const char* what) {
    EXPECT_NEAR(actual.x, expected.x, 2e-5f) << what;
    EXPECT_NEAR(actual.y, expected.y, 2e-5f) << what;
    EXPECT_NEAR(actual.z, expected.z, 2e-5f) << what;
}

// The placement, pulse and first two parts' colours and transforms of the test models.
void placeAndColour(Model& m) {
    m.position = {0.1f, -0.05f, 0.02f};
    m.rotationAngle = 135.0f;
    m.rotationAxis = {0.0f, 1.0f, 0.0f};
    m.scale = 0.9f;
    m.pulseRate = 0.0037f;
    m.pulsePhase = 4.0f;
    m.parts[0].colour = {0.02f, 0.04f, 0.2f};
    m.parts[1].colour = {0.7f, 0.1f, 0.05f};
    m.parts[1].partAngle = 30.0f;
    m.parts[1].partAxis = {1.0f, 0.0f, 1.0f};
    m.parts[1].partOffset = {0.05f, -0.02f, 0.0f};
    m.parts[1].partScale = {1.2f, 0.8f, 1.0f};
}

// Two parts with their own colours and transforms, four positions, normals not all unit length.
Model twoPartModel() {
    Model m = fixtures::makeModel({{0.10f, 0.20f, 0.05f},
                                   {0.25f, -0.15f, 0.10f},
                                   {-0.20f, 0.05f, -0.10f},
                                   {0.05f, 0.30f, 0.20f}},
                                  {{"head", {{0, 1, 2}, {2, 1, 3}}}, {"torso", {{3, 0, 2}}}});
    m.normals = {{0.0f, 0.0f, 1.0f}, {0.6f, 0.0f, 0.8f}, {0.0f, -1.0f, 0.0f}, {0.3f, 0.4f, 0.2f}};
    placeAndColour(m);
    return m;
}

// A turned trackball: a rotation about the axis (1, 2, 0).
Mat4 turnedTransform() {
    Mat4 t;
    const Quaternion q{0.1f, 0.2f, 0.0f, 0.97f};
    setRotationKeepScale(t, quatToMat3(q));
    return t;
}

DrawContext turnedContext() {
    DrawContext c;
    c.currentTime = 12345.0f;
    c.transform = turnedTransform();
    c.viewOffsetX = 2.0f;
    c.viewOffsetY = -4.0f;
    c.viewOffsetZ = -20.0f;
    return c;
}

// The whole expected stream of one model: per polygon a coloured triangle list, then a dark one.
void expectModelDrawn(const std::vector<Primitive>& fed, size_t& at, const Model& m, Vec3 offsets,
                      const DrawContext& c, float outerScale, const std::vector<int>& r,
                      size_t& drawn) {
    // L' as the drawing defines it: the view offsets turned back by the trackball, unit length.
    const Vec4 l4 =
        transposeTransform(c.transform, {c.viewOffsetX, c.viewOffsetY, c.viewOffsetZ, 1.0f});
    const Vec3 l{l4.x, l4.y, l4.z};
    const Vec3 view = l * (1.0f / std::sqrt(l.x * l.x + l.y * l.y + l.z * l.z));
    for (const BodyPart& part : m.parts) {
        const Matrix t = partMatrix(m, part, c, outerScale);
        for (const Polygon& polygon : part.polygons) {
            ASSERT_LT(at + 1, fed.size());
            const Primitive& coloured = fed[at++];
            const Primitive& dark = fed[at++];
            ASSERT_EQ(coloured.vertices.size(), polygon.size());
            ASSERT_EQ(dark.vertices.size(), polygon.size());
            for (size_t k = 0; k < polygon.size(); ++k) {
                const Vec3 p = m.positions[static_cast<size_t>(polygon[k].positionIndex)];
                const Vec3 n = m.normals[static_cast<size_t>(polygon[k].positionIndex)];
                const Vec3 d = p - view;
                const float shade = (d.x * n.x + d.y * n.y + d.z * n.z) + 0.2f;
                const FedVertex& v = coloured.vertices[k];
                EXPECT_EQ(v.r, offsets.x + part.colour.r + shade);
                EXPECT_EQ(v.g, offsets.y + part.colour.g + shade);
                EXPECT_EQ(v.b, offsets.z + part.colour.b + shade);
                expectNear(v.position, apply(t, p), "coloured pass");

                const FedVertex& w = dark.vertices[k];
                EXPECT_EQ(w.r, 0.1f);
                EXPECT_EQ(w.g, 0.1f);
                EXPECT_EQ(w.b, 0.1f);
                const float push = static_cast<float>(r[drawn++]) * 0.00125f;
                const Vec3 q{p.x + n.x * push, p.y + n.y * push, p.z + n.z * push};
                expectNear(w.position, apply(t, q), "dark pass");
            }
        }
    }
}

TEST_F(FeedbackTest, ColouredAndDarkPassOfEveryPolygonWithItsShadeAndPush) {
    const Model m = twoPartModel();
    const DrawContext c = turnedContext();
    const Vec3 offsets{0.25f, -0.5f, 1.5f};  // colours above 1 and below 0 go out unclamped
    const std::vector<int> r = draws(99, 9);

    chance::seed(99);
    const std::vector<Primitive> fed =
        capture([&] { draw(m, offsets.x, offsets.y, offsets.z, c); });
    // Exactly one generator draw per corner (9 corners).
    const int next = chance::draw();
    EXPECT_EQ(next, drawAfter(99, 9));

    ASSERT_EQ(fed.size(), 6u);
    for (const Primitive& p : fed)
        EXPECT_EQ(p.kind, static_cast<GLenum>(GL_POLYGON_TOKEN));
    size_t at = 0, drawn = 0;
    expectModelDrawn(fed, at, m, offsets, c, 1.0f, r, drawn);
    bool outOfRange = false;
    for (const Primitive& p : fed)
        for (const FedVertex& v : p.vertices)
            outOfRange = outOfRange || v.r > 1.0f || v.b > 1.0f;
    EXPECT_TRUE(outOfRange) << "the test is meant to send colours above 1";
}

TEST_F(FeedbackTest, LeavesTheMatrixStackAsItFoundIt) {
    glTranslatef(0.25f, 0.5f, -0.125f);
    const auto before = matrix(GL_MODELVIEW_MATRIX);
    GLint depthBefore = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthBefore);
    (void)capture([&] { draw(twoPartModel(), 0, 0, 0, turnedContext()); });
    GLint depthAfter = 0;
    glGetIntegerv(GL_MODELVIEW_STACK_DEPTH, &depthAfter);
    EXPECT_EQ(depthAfter, depthBefore);
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

TEST_F(FeedbackTest, BreathingSwingsBetweenScaleAndOnePointOhFourTimesScale) {
    Model m;
    m.scale = 1.5f;
    m.pulseRate = 0.0f;
    m.pulsePhase = -1.5707964f;  // sin = -1
    EXPECT_EQ(breathingScale(m, 5000.0f), 1.5f);
    m.pulsePhase = 1.5707964f;  // sin = +1
    EXPECT_EQ(breathingScale(m, 5000.0f), 1.5f * 1.04f);
    // The clock drives the sine in radians per millisecond: a quarter turn after 1000 ms.
    m.pulseRate = 0.0015707964f;
    m.pulsePhase = 0.0f;
    EXPECT_FLOAT_EQ(breathingScale(m, 1000.0f), 1.5f * 1.04f);
    EXPECT_EQ(breathingScale(m, 0.0f), 1.5f * 1.02f);
}

TEST_F(FeedbackTest, ViewAtTheSceneOriginHasNoDirectionAndShadesWithoutIt) {
    DrawContext c;  // identity trackball, all three view offsets 0 (keys u ten times)
    EXPECT_EQ(viewVector(c), (Vec3{0, 0, 0}));
    c.viewOffsetZ = -20.0f;
    EXPECT_EQ(viewVector(c), (Vec3{0, 0, -1}));
    c.transform = turnedTransform();
    const Vec3 v = viewVector(c);
    EXPECT_NEAR(v.x * v.x + v.y * v.y + v.z * v.z, 1.0f, 1e-6f);

    Model m = fixtures::singleTriangle();
    m.normals = {{0, 0, 1}, {0, 0, 1}, {0, 0, 1}};
    m.positions = {{0, 0, 0.5f}, {0.5f, 0, 0.5f}, {0, 0.5f, 0.5f}};
    const std::vector<Primitive> fed = capture([&] { draw(m, 0, 0, 0, DrawContext{}); });
    ASSERT_EQ(fed.size(), 2u);
    for (const FedVertex& fv : fed[0].vertices) {
        // shade = p . n + 0.2 = 0.7
        EXPECT_EQ(fv.r, m.parts[0].colour.r + 0.7f);
        EXPECT_EQ(fv.b, m.parts[0].colour.b + 0.7f);
    }
}

TEST_F(FeedbackTest, ModelWithoutNormalsGetsShadePointTwoAndNoPush) {
    Model m = twoPartModel();
    m.normals.clear();
    const DrawContext c = turnedContext();
    chance::seed(5);
    const std::vector<Primitive> fed = capture([&] { draw(m, 0.0f, 0.0f, 0.0f, c); });
    const int next = chance::draw();
    EXPECT_EQ(next, drawAfter(5, 9)) << "still one draw per corner";
    ASSERT_EQ(fed.size(), 6u);
    size_t at = 0;
    for (const BodyPart& part : m.parts) {
        const Matrix t = partMatrix(m, part, c, 1.0f);
        for (const Polygon& polygon : part.polygons) {
            const Primitive& coloured = fed[at++];
            const Primitive& dark = fed[at++];
            for (size_t k = 0; k < polygon.size(); ++k) {
                const Vec3 p = m.positions[static_cast<size_t>(polygon[k].positionIndex)];
                EXPECT_EQ(coloured.vertices[k].r, part.colour.r + 0.2f);
                EXPECT_EQ(coloured.vertices[k].g, part.colour.g + 0.2f);
                EXPECT_EQ(coloured.vertices[k].b, part.colour.b + 0.2f);
                expectNear(dark.vertices[k].position, apply(t, p), "dark pass without normals");
            }
        }
    }
}

TEST_F(FeedbackTest, EveryCornerOfAPolygonIsSent) {
    // Six corners in one GL_TRIANGLES block come back as two triangles; four corners make one
    // triangle and a vertex OpenGL drops, but all four are sent (four generator draws).
    Model m = fixtures::makeModel(
        {{0, 0, 0}, {0.5f, 0, 0}, {0.5f, 0.5f, 0}, {0, 0.5f, 0}, {-0.5f, 0.5f, 0}, {-0.5f, 0, 0}},
        {{"head", {{0, 1, 2, 3, 4, 5}, {0, 2, 3, 4}}}});
    m.normals.assign(6, Vec3{0, 0, 1});
    chance::seed(11);
    const std::vector<Primitive> fed = capture([&] { draw(m, 0, 0, 0, DrawContext{}); });
    const int next = chance::draw();
    EXPECT_EQ(next, drawAfter(11, 10));
    ASSERT_EQ(fed.size(), 6u);  // 2 + 2 for the hexagon, 1 + 1 for the quadrilateral
    const Matrix t = scaling({1.02f, 1.02f, 1.02f});  // breathing at sin 0
    expectNear(fed[1].vertices[0].position, apply(t, m.positions[3]), "second triangle");
    expectNear(fed[1].vertices[2].position, apply(t, m.positions[5]), "second triangle");
}

TEST_F(FeedbackTest, CornersOutsideThePositionsAreNotSent) {
    Model m = fixtures::makeModel({{0, 0, 0}, {0.5f, 0, 0}, {0, 0.5f, 0}},
                                  {{"head", {{0, 1, 7, 2}, {-3, 0, 1, 2}}}});
    m.normals.assign(3, Vec3{0, 0, 1});
    const std::vector<Primitive> fed = capture([&] { draw(m, 0, 0, 0, DrawContext{}); });
    ASSERT_EQ(fed.size(), 4u);
    for (const Primitive& p : fed)
        EXPECT_EQ(p.vertices.size(), 3u);
}

// ---- The same drawing as calls per vertex ---------------------------------------------------

// The drawing in its literal form: per polygon, read through the copying accessor, a
// GL_TRIANGLES block of glNormal3f / glColor3f / glVertex3f per corner for the coloured pass,
// then one for the dark pass with a glColor3f and a generator draw per corner. Corners outside
// the positions are skipped and corners without a normal send none, as the program does. The
// array drawing must feed back exactly what this feeds back.
void drawPerVertex(const Model& m, float redOffset, float greenOffset, float blueOffset,
                   const DrawContext& c) {
    glPushMatrix();
    glMultMatrixf(c.transform.data());
    glTranslatef(m.position.x, m.position.y, m.position.z);
    glRotatef(m.rotationAngle, m.rotationAxis.x, m.rotationAxis.y, m.rotationAxis.z);
    const float s = breathingScale(m, c.currentTime);
    glScalef(s, s, s);
    const Vec3 view = viewVector(c);
    for (const BodyPart& part : m.parts) {
        glPushMatrix();
        glRotatef(part.partAngle, part.partAxis.x, part.partAxis.y, part.partAxis.z);
        glTranslatef(part.partOffset.x, part.partOffset.y, part.partOffset.z);
        glScalef(part.partScale.x, part.partScale.y, part.partScale.z);
        for (int i = 0; i < static_cast<int>(part.polygons.size()); ++i) {
            const Polygon polygon = part.getPolygon(i);
            glBegin(GL_TRIANGLES);
            for (const Corner& corner : polygon) {
                const auto k = static_cast<size_t>(corner.positionIndex);
                if (corner.positionIndex < 0 || k >= m.positions.size()) continue;
                const Vec3 p = m.positions[k];
                float shade = 0.2f;
                if (k < m.normals.size()) {
                    const Vec3 n = m.normals[k];
                    shade = dot(p - view, n) + 0.2f;
                    glNormal3f(n.x, n.y, n.z);
                }
                glColor3f(redOffset + part.colour.r + shade, greenOffset + part.colour.g + shade,
                          blueOffset + part.colour.b + shade);
                glVertex3f(p.x, p.y, p.z);
            }
            glEnd();
            glBegin(GL_TRIANGLES);
            for (const Corner& corner : polygon) {
                glColor3f(0.1f, 0.1f, 0.1f);
                const int r = chance::draw() % 100;
                const auto k = static_cast<size_t>(corner.positionIndex);
                if (corner.positionIndex < 0 || k >= m.positions.size()) continue;
                const Vec3 p = m.positions[k];
                if (k < m.normals.size()) {
                    const Vec3 n = m.normals[k];
                    glNormal3f(n.x, n.y, n.z);
                    const Vec3 q = p + n * (static_cast<float>(r) * 0.00125f);
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

// What one drawing leaves behind besides its pixels.
struct Aftermath {
    std::vector<GLfloat> fed;  // the feedback buffer
    int nextDraw = 0;          // the generator's next value
    std::array<GLfloat, 4> colour{};
    std::array<GLfloat, 3> normal{};
    std::array<double, 16> modelView{};
    bool arraysEnabled = false;
};

// Index of the first float whose bits differ, or -1 (the sizes are compared apart).
long firstDifference(const std::vector<GLfloat>& a, const std::vector<GLfloat>& b) {
    for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        if (std::bit_cast<std::uint32_t>(a[i]) != std::bit_cast<std::uint32_t>(b[i])) {
            return static_cast<long>(i);
        }
    }
    return -1;
}

class ArrayDrawingTest : public FeedbackTest {
protected:
    // Runs drawing from a known generator seed, current normal and colour, and records what it
    // fed back and left.
    template <typename Draw>
    Aftermath run(Draw drawing, std::size_t capacity = 1 << 20) {
        glNormal3f(0.3f, -0.4f, 0.5f);
        glColor3f(0.7f, 0.8f, 0.9f);
        chance::seed(2024);
        Aftermath a;
        a.fed = captureRaw(drawing, capacity);
        a.nextDraw = chance::draw();
        glGetFloatv(GL_CURRENT_COLOR, a.colour.data());
        glGetFloatv(GL_CURRENT_NORMAL, a.normal.data());
        a.modelView = matrix(GL_MODELVIEW_MATRIX);
        a.arraysEnabled = glIsEnabled(GL_VERTEX_ARRAY) || glIsEnabled(GL_COLOR_ARRAY) ||
                          glIsEnabled(GL_NORMAL_ARRAY);
        return a;
    }

    static void expectSame(const Aftermath& arrays, const Aftermath& perVertex, const char* what) {
        SCOPED_TRACE(what);
        EXPECT_FALSE(arrays.fed.empty());
        EXPECT_EQ(arrays.fed.size(), perVertex.fed.size());
        EXPECT_EQ(firstDifference(arrays.fed, perVertex.fed), -1);
        EXPECT_EQ(arrays.nextDraw, perVertex.nextDraw);
        EXPECT_EQ(arrays.colour, perVertex.colour);
        EXPECT_EQ(arrays.normal, perVertex.normal);
        EXPECT_EQ(arrays.modelView, perVertex.modelView);
        EXPECT_FALSE(arrays.arraysEnabled);
        EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
    }
};

// Three parts: triangles around a quadrilateral, a hexagon, a pentagon, a polygon with a corner
// outside the positions, a two-corner polygon, and a position without a normal (the last one),
// so that the current normal, the dropped corners and the skipped corners all matter.
Model awkwardModel() {
    Model m = fixtures::makeModel({{0.10f, 0.20f, 0.05f},
                                   {0.25f, -0.15f, 0.10f},
                                   {-0.20f, 0.05f, -0.10f},
                                   {0.05f, 0.30f, 0.20f},
                                   {-0.30f, -0.25f, 0.15f},
                                   {0.35f, 0.10f, -0.20f},
                                   {-0.05f, -0.35f, 0.05f},
                                   {0.20f, 0.25f, -0.30f}},
                                  {{"head", {{0, 1, 2}, {0, 2, 3, 4}, {2, 1, 3}, {7, 4, 5}}},
                                   {"torso", {{0, 1, 2, 3, 4, 5}, {5, 6, 7, 0, 1}, {3, 4, 5}}},
                                   {"tail", {{1, 9, 2, 3}, {4, 5}, {6, 7, 0}, {-1, 2, 3, 4, 7}}}});
    m.normals = {{0.0f, 0.0f, 1.0f},  {0.6f, 0.0f, 0.8f},  {0.0f, -1.0f, 0.0f}, {0.3f, 0.4f, 0.2f},
                 {-0.5f, 0.5f, 0.7f}, {0.9f, -0.1f, 0.4f}, {-0.2f, -0.9f, 0.3f}};
    placeAndColour(m);
    m.parts[2].colour = {0.9f, 0.9f, 0.1f};
    m.parts[2].partScale = {0.7f, 0.7f, 0.7f};
    return m;
}

TEST_F(ArrayDrawingTest, FeedsBackWhatTheCallsPerVertexFedBackAndLeavesTheSameState) {
    Model m = awkwardModel();
    const DrawContext c = turnedContext();
    // Unlit, the colours show (unclamped); lit with the colour as material, so do the normals.
    for (const bool lit : {false, true}) {
        if (lit) {
            glEnable(GL_LIGHTING);
            glEnable(GL_COLOR_MATERIAL);
        }
        const Aftermath arrays = run([&] { draw(m, 0.25f, -0.5f, 1.5f, c); });
        const Aftermath perVertex = run([&] { drawPerVertex(m, 0.25f, -0.5f, 1.5f, c); });
        expectSame(arrays, perVertex, lit ? "lit" : "unlit");
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
    }
    // 13 + 14 + 14 corners: one draw each.
    EXPECT_EQ(run([&] { draw(m, 0, 0, 0, c); }).nextDraw, drawAfter(2024, 41));

    // Without normals: no normal array, and OpenGL's current normal is left alone.
    m.normals.clear();
    const Aftermath arrays = run([&] { draw(m, 0, 0, 0, c); });
    const Aftermath perVertex = run([&] { drawPerVertex(m, 0, 0, 0, c); });
    expectSame(arrays, perVertex, "without normals");
    EXPECT_EQ(arrays.normal, (std::array<GLfloat, 3>{0.3f, -0.4f, 0.5f}));

    // Polygons without corners send nothing and leave the current colour alone.
    const Model empty = fixtures::makeModel({{0, 0, 0}}, {{"head", {{}, {}}}});
    const Aftermath nothing = run([&] { draw(empty, 0, 0, 0, c); });
    EXPECT_TRUE(nothing.fed.empty());
    EXPECT_EQ(nothing.colour, (std::array<GLfloat, 4>{0.7f, 0.8f, 0.9f, 1.0f}));
    EXPECT_FALSE(nothing.arraysEnabled);
}

TEST_F(ArrayDrawingTest, StartCreaturesFeedBackWhatTheCallsPerVertexFedBack) {
    const World& world = startWorld();
    const DrawContext c = turnedContext();
    glScalef(0.08f, 0.08f, 0.08f);  // the scene into the clip cube
    for (const Model& m : world.creatures) {
        const Aftermath arrays = run([&] { draw(m, 0.6f, -0.2f, -0.2f, c); }, 1 << 23);
        const Aftermath perVertex = run([&] { drawPerVertex(m, 0.6f, -0.2f, -0.2f, c); }, 1 << 23);
        expectSame(arrays, perVertex, "start creature");
    }
}

// ---- The population -------------------------------------------------------------------------

World smallWorld() {
    World w;
    Model a = twoPartModel();
    Model b = twoPartModel();
    b.position = {-0.2f, 0.1f, -0.1f};
    b.rotationAngle = 225.0f;
    w.creatures = {a, b};
    w.genomes = w.creatures;
    w.familyLinks = {{{0.1f, -0.05f, 0.02f}, {-0.2f, 0.1f, -0.1f}},
                     {{0.0f, 0.0f, 0.0f}, {0.3f, 0.3f, 0.3f}}};
    return w;
}

// A pass no one sees leaves the generator, the current colour and normal and the matrices as the
// drawing does, and feeds back nothing: for the awkward model (its last corner without a normal),
// without normals, without corners, for the start creatures (tens of thousands of draws each, so
// a jump of the generator) and for whole populations, with links and without creatures.
TEST_F(ArrayDrawingTest, AnUnseenPassLeavesWhatTheDrawingLeaves) {
    const DrawContext c = turnedContext();
    const auto expectSameAftermath = [&](const auto& drawing, const auto& unseen,
                                         const char* what) {
        SCOPED_TRACE(what);
        const Aftermath drawn = run(drawing, 1 << 23);
        const Aftermath passed = run(unseen);
        EXPECT_TRUE(passed.fed.empty());
        EXPECT_EQ(passed.nextDraw, drawn.nextDraw);
        EXPECT_EQ(passed.colour, drawn.colour);
        EXPECT_EQ(passed.normal, drawn.normal);
        EXPECT_EQ(passed.modelView, drawn.modelView);
        EXPECT_FALSE(passed.arraysEnabled);
    };
    Model m = awkwardModel();
    expectSameAftermath([&] { draw(m, 0.25f, -0.5f, 1.5f, c); }, [&] { passUnseen(m); }, "awkward");
    m.normals.clear();
    expectSameAftermath([&] { draw(m, 0, 0, 0, c); }, [&] { passUnseen(m); }, "no normals");
    const Model empty = fixtures::makeModel({{0, 0, 0}}, {{"head", {{}, {}}}});
    expectSameAftermath([&] { draw(empty, 0, 0, 0, c); }, [&] { passUnseen(empty); }, "empty");

    const World& start = startWorld();
    for (const Model& creature : start.creatures) {
        expectSameAftermath([&] { draw(creature, 0, 0, 0, c); }, [&] { passUnseen(creature); },
                            "start creature");
    }
    PopulationView view;
    view.model = c;
    view.hoverIndex = 1;
    view.firstPick = 0;
    expectSameAftermath([&] { drawPopulation(start, view); }, [&] { passPopulationUnseen(start); },
                        "start population");
    World linked = smallWorld();
    expectSameAftermath([&] { drawPopulation(linked, view); },
                        [&] { passPopulationUnseen(linked); }, "population with links");
    linked.creatures.clear();
    expectSameAftermath([&] { drawPopulation(linked, view); },
                        [&] { passPopulationUnseen(linked); }, "links without creatures");
}

TEST_F(FeedbackTest, PopulationDrawsGreyLinksThenCreaturesHoveredLargerAndFirstPickRed) {
    const World world = smallWorld();
    PopulationView view;
    view.model = turnedContext();
    view.hoverIndex = 1;
    view.firstPick = 1;
    glLineWidth(1.0f);
    chance::seed(3);
    const std::vector<Primitive> fed = capture([&] { drawPopulation(world, view); });
    const std::vector<int> r = draws(3, 18);

    ASSERT_EQ(fed.size(), 2u + 6u + 6u);
    const Matrix turned = fromMat4(view.model.transform);
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_TRUE(fed[i].kind == GL_LINE_TOKEN || fed[i].kind == GL_LINE_RESET_TOKEN);
        for (const FedVertex& v : fed[i].vertices) {
            EXPECT_EQ(v.r, 0.2f);
            EXPECT_EQ(v.g, 0.2f);
            EXPECT_EQ(v.b, 0.2f);
        }
        expectNear(fed[i].vertices[0].position, apply(turned, world.familyLinks[i].from), "link");
        expectNear(fed[i].vertices[1].position, apply(turned, world.familyLinks[i].to), "link");
    }
    GLfloat width = 0;
    glGetFloatv(GL_LINE_WIDTH, &width);
    EXPECT_EQ(width, 2.0f);
    GLfloat colour[4] = {};
    glGetFloatv(GL_CURRENT_COLOR, colour);
    EXPECT_EQ(colour[0], 0.1f) << "the last colour sent is the dark pass's";

    size_t at = 2, drawn = 0;
    expectModelDrawn(fed, at, world.creatures[0], {0, 0, 0}, view.model, 1.0f, r, drawn);
    expectModelDrawn(fed, at, world.creatures[1], {0.6f, -0.2f, -0.2f}, view.model, 1.04f, r,
                     drawn);
}

TEST_F(FeedbackTest, PopulationHoverAndTintGoToTheirOwnCreatures) {
    const World world = smallWorld();
    PopulationView view;
    view.model = turnedContext();
    view.hoverIndex = 0;
    view.firstPick = 1;
    chance::seed(4);
    const std::vector<Primitive> fed = capture([&] { drawPopulation(world, view); });
    const std::vector<int> r = draws(4, 18);
    ASSERT_EQ(fed.size(), 14u);
    size_t at = 2, drawn = 0;
    expectModelDrawn(fed, at, world.creatures[0], {0, 0, 0}, view.model, 1.04f, r, drawn);
    expectModelDrawn(fed, at, world.creatures[1], {0.6f, -0.2f, -0.2f}, view.model, 1.0f, r, drawn);

    // The display pass hands the drawing the same view from the window's clock, the trackball
    // and the input controller: each value in its own slot.
    InputController& input = InputController::instance();
    input.hoverIndex = view.hoverIndex;
    input.firstPick = view.firstPick;
    input.viewOffsetX = view.model.viewOffsetX;
    input.viewOffsetY = view.model.viewOffsetY;
    input.viewOffsetZ = view.model.viewOffsetZ;
    ArcBall::instance().transform = view.model.transform;
    ViewerWindow::instance().currentTime = view.model.currentTime;
    World::instance() = world;
    chance::seed(4);
    EXPECT_TRUE(capture([] { drawPopulationPass(); }) == fed) << "the pass drew another view";
}

TEST_F(FeedbackTest, EmptyPopulationDrawsNothingAndKeepsTheStack) {
    const World world;
    const auto before = matrix(GL_MODELVIEW_MATRIX);
    chance::seed(8);
    const std::vector<Primitive> fed = capture([&] { drawPopulation(world, PopulationView{}); });
    EXPECT_TRUE(fed.empty());
    EXPECT_EQ(matrix(GL_MODELVIEW_MATRIX), before);
    const int next = chance::draw();
    EXPECT_EQ(next, drawAfter(8, 0));
}

}  // namespace
}  // namespace gltest
