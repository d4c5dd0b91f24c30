// One display pass of the population in a real OpenGL context (run it under Xvfb with Mesa's
// software renderer: LIBGL_ALWAYS_SOFTWARE=1), beside the floor for the same triangles: the
// vertices the pass sends in one frame, prepared once and drawn from vertex arrays with the same
// matrices, in the same order. Before the floor is timed, both are drawn in feedback mode and
// must feed back the same vertices, bit for bit, unlit and lit (so normals count too).
//
// Two populations: the start population (3 creatures, the centre one refined twice) and 31
// creatures (the start population and 14 breedings of leaves). Each timed pass is cleared,
// drawn and glFinish'd; the buffer swap, the same for both, is timed on its own.
//
// Runs from anywhere: it reads the start creatures and the title picture from the source tree.
#define GL_GLEXT_PROTOTYPES
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <vector>

#include <GL/freeglut.h>
#include <GL/glext.h>

#include "app/population_draw.h"
#include "app/viewer_window.h"
#include "bench/bench_support.h"
#include "bench/bench_window.h"
#include "creature/world.h"
#include "view/arcball.h"
#include "view/camera.h"
#include "view/chance.h"
#include "view/input_controller.h"

namespace {

// The time of a frame in the middle of a breath.
constexpr float FRAME_TIME = 5000.0f;

std::unique_ptr<World> startWorld() {
    bench::QuietStdout quiet;
    chance::setClock([] { return std::time_t{1700000000}; });
    auto world = std::make_unique<World>(startCreatures());
    // Breeding moves the view back as the program does.
    world->screen.stepViewBack = [] {
        InputController::instance().viewOffsetZ -= 1.0f;
        Camera::instance().reshape(1024, 768);
    };
    return world;
}

// The start population grown to `count` creatures by breeding leaves, oldest first, each with
// the rabbit: a balanced family tree above the centre creature.
std::unique_ptr<World> grownWorld(size_t count) {
    std::unique_ptr<World> world = startWorld();
    bench::QuietStdout quiet;
    std::deque<int> leaves{1};
    while (world->creatures.size() < count) {
        const int leaf = leaves.front();
        leaves.pop_front();
        world->breed(leaf, world->genomes[2], RANDOM_WEIGHT, MakeChildren);
        leaves.push_back(world->genomes[static_cast<size_t>(leaf)].firstChildId);
        leaves.push_back(world->genomes[static_cast<size_t>(leaf)].secondChildId);
    }
    return world;
}

PopulationView currentView() {
    const InputController& input = InputController::instance();
    PopulationView view;
    view.model.currentTime = FRAME_TIME;
    view.model.transform = ArcBall::instance().transform;
    view.model.viewOffsetX = input.viewOffsetX;
    view.model.viewOffsetY = input.viewOffsetY;
    view.model.viewOffsetZ = input.viewOffsetZ;
    return view;
}

// ---- The floor: the same vertices from vertex arrays ------------------------------------------

struct FloorVertex {
    float position[3];
    float normal[3];
    float colour[3];
};

struct FloorPart {
    const BodyPart* part;
    std::vector<FloorVertex> vertices;  // per polygon: the coloured triangle, then the dark one
};

struct FloorModel {
    const Model* model;
    std::vector<FloorPart> parts;
};

// What the pass sends for one model in one frame, computed the same way.
FloorModel floorOf(const Model& m, const DrawContext& context) {
    FloorModel out{&m, {}};
    const Vec3 view = viewVector(context);
    for (const BodyPart& part : m.parts) {
        FloorPart fp{&part, {}};
        for (const Polygon& polygon : part.polygons) {
            for (const Corner& c : polygon) {
                const Vec3& p = m.positions[static_cast<size_t>(c.positionIndex)];
                const Vec3& n = m.normals[static_cast<size_t>(c.positionIndex)];
                const float shade = dot(p - view, n) + 0.2f;
                fp.vertices.push_back(
                    {{p.x, p.y, p.z},
                     {n.x, n.y, n.z},
                     {part.colour.r + shade, part.colour.g + shade, part.colour.b + shade}});
            }
            for (const Corner& c : polygon) {
                const Vec3& p = m.positions[static_cast<size_t>(c.positionIndex)];
                const Vec3& n = m.normals[static_cast<size_t>(c.positionIndex)];
                const Vec3 q = p + n * (static_cast<float>(chance::draw() % 100) * 0.00125f);
                fp.vertices.push_back({{q.x, q.y, q.z}, {n.x, n.y, n.z}, {0.1f, 0.1f, 0.1f}});
            }
        }
        out.parts.push_back(std::move(fp));
    }
    return out;
}

void drawFloor(const World& world, const std::vector<FloorModel>& floor,
               const PopulationView& view) {
    const Mat4& transform = view.model.transform;
    drawFamilyLinks(world, transform);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    for (const FloorModel& fm : floor) {
        const Model& m = *fm.model;
        glPushMatrix();
        glMultMatrixf(transform.data());
        glTranslatef(m.position.x, m.position.y, m.position.z);
        glRotatef(m.rotationAngle, m.rotationAxis.x, m.rotationAxis.y, m.rotationAxis.z);
        const float s = breathingScale(m, view.model.currentTime);
        glScalef(s, s, s);
        for (const FloorPart& fp : fm.parts) {
            const BodyPart& part = *fp.part;
            glPushMatrix();
            glRotatef(part.partAngle, part.partAxis.x, part.partAxis.y, part.partAxis.z);
            glTranslatef(part.partOffset.x, part.partOffset.y, part.partOffset.z);
            glScalef(part.partScale.x, part.partScale.y, part.partScale.z);
            const GLsizei stride = sizeof(FloorVertex);
            glVertexPointer(3, GL_FLOAT, stride, fp.vertices.data()->position);
            glNormalPointer(GL_FLOAT, stride, fp.vertices.data()->normal);
            glColorPointer(3, GL_FLOAT, stride, fp.vertices.data()->colour);
            glDrawArrays(GL_TRIANGLES, 0, static_cast<GLsizei>(fp.vertices.size()));
            glPopMatrix();
        }
        glPopMatrix();
    }
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_COLOR_ARRAY);
}

// ---- The floor draws what the pass draws ------------------------------------------------------

// Every vertex that reaches the rasteriser in one drawing: window position and unclamped colour.
template <typename Draw>
std::vector<GLfloat> feedback(std::size_t capacity, Draw drawing) {
    std::vector<GLfloat> buffer(capacity);
    glFeedbackBuffer(static_cast<GLsizei>(buffer.size()), GL_3D_COLOR, buffer.data());
    glRenderMode(GL_FEEDBACK);
    drawing();
    const GLint used = glRenderMode(GL_RENDER);
    buffer.resize(used > 0 ? static_cast<std::size_t>(used) : 0);  // overflow (-1): empty
    return buffer;
}

// Draws the pass and the floor (prepared from the same generator state) in feedback mode, with
// culling off, unlit and then lit with the colour as material: true when every float of the two
// feedback buffers has the same bits.
bool floorDrawsWhatThePassDraws(const World& world, const PopulationView& view) {
    std::size_t floats = 16 * world.familyLinks.size() + 1024;
    for (const Model& m : world.creatures) {
        for (const BodyPart& part : m.parts) {
            for (const Polygon& polygon : part.polygons)
                floats += 2 * (2 + 7 * polygon.size());
        }
    }
    glDisable(GL_CULL_FACE);
    glClampColor(GL_CLAMP_VERTEX_COLOR, GL_FALSE);
    bool same = true;
    for (const bool lit : {false, true}) {
        if (lit) {
            glEnable(GL_LIGHTING);
            glEnable(GL_COLOR_MATERIAL);
        }
        glPushMatrix();
        chance::seed(1);
        const std::vector<GLfloat> pass = feedback(floats, [&] { drawPopulation(world, view); });
        chance::seed(1);
        std::vector<FloorModel> floor;
        for (const Model& m : world.creatures)
            floor.push_back(floorOf(m, view.model));
        const std::vector<GLfloat> fromFloor =
            feedback(floats, [&] { drawFloor(world, floor, view); });
        glPopMatrix();
        same = same && !pass.empty() && pass.size() == fromFloor.size() &&
               std::memcmp(pass.data(), fromFloor.data(), pass.size() * sizeof(GLfloat)) == 0;
        glDisable(GL_LIGHTING);
        glDisable(GL_COLOR_MATERIAL);
    }
    glClampColor(GL_CLAMP_VERTEX_COLOR, GL_TRUE);
    glEnable(GL_CULL_FACE);
    return same;
}

// ---- Benchmarks -------------------------------------------------------------------------------

World& population(size_t count) {
    static std::unique_ptr<World> start = startWorld();
    static std::unique_ptr<World> grown;
    if (count <= start->creatures.size()) return *start;
    if (!grown) {
        grown = grownWorld(count);
    }
    return *grown;
}

// The view the program has for a population of this size: one step back per breeding.
void applyView(const World& world) {
    const size_t breedings = (world.creatures.size() - 3) / 2;
    InputController::instance().viewOffsetZ = -20.0f - static_cast<float>(breedings);
    Camera::instance().reshape(1024, 768);
}

void setCounters(benchmark::State& state, const World& world) {
    size_t triangles = 0;
    for (const Model& m : world.creatures) {
        for (const BodyPart& p : m.parts)
            triangles += p.polygons.size();
    }
    state.counters["creatures"] = static_cast<double>(world.creatures.size());
    state.counters["triangles"] = static_cast<double>(2 * triangles);
}

void BM_DisplayPass(benchmark::State& state) {
    const World& world = population(static_cast<size_t>(state.range(0)));
    applyView(world);
    const PopulationView view = currentView();
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPushMatrix();
        drawPopulation(world, view);
        glPopMatrix();
        glFinish();
    }
    setCounters(state, world);
}

void BM_VertexArrayFloor(benchmark::State& state) {
    const World& world = population(static_cast<size_t>(state.range(0)));
    applyView(world);
    const PopulationView view = currentView();
    static std::map<const World*, bool> verdicts;  // one check per population
    if (!verdicts.contains(&world)) verdicts[&world] = floorDrawsWhatThePassDraws(world, view);
    if (!verdicts[&world]) {
        state.SkipWithError("the floor does not draw what the pass draws");
        return;
    }
    std::vector<FloorModel> floor;
    for (const Model& m : world.creatures)
        floor.push_back(floorOf(m, view.model));
    for (auto _ : state) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glPushMatrix();
        drawFloor(world, floor, view);
        glPopMatrix();
        glFinish();
    }
    setCounters(state, world);
}

void BM_SwapBuffers(benchmark::State& state) {
    for (auto _ : state) {
        glutSwapBuffers();
        glFinish();
    }
}

}  // namespace

BENCHMARK(BM_DisplayPass)->Arg(3)->Arg(31)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_VertexArrayFloor)->Arg(3)->Arg(31)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SwapBuffers)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    // Drawing from client arrays, Mesa's software renderer allocates and frees tens of megabytes
    // per frame. With glibc's adaptive thresholds, whether that memory goes back to the system
    // (and is faulted in again, page by page, the next frame) depends on the holes a few
    // megabytes of earlier allocations left in the heap: it differs between the contenders' set-
    // ups, not between their drawing. Fixed thresholds keep it in the heap for both.
    bench::keepFreedMemory();
    benchmark::Initialize(&argc, argv);
    if (!bench::openViewerWindow(argc, argv, CREATURES_SOURCE_DIR)) return 2;
    std::printf("GL_RENDERER: %s\n", reinterpret_cast<const char*>(glGetString(GL_RENDERER)));

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
