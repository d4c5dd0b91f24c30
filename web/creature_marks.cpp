// What the page's keyboard and screen reader support reads of the program between two frames:
// whether the title is shown, the first pick and the creature under the pointer, and for every
// creature where its pick sphere stands in the window and which children it has. The page moves
// the pointer onto a creature and clicks there from these figures, so they come from the very
// matrices, trackball rotation and spheres the pick test uses; nothing here changes the program.
#include <cmath>
#include <vector>

#include <emscripten/emscripten.h>

#include "creature/world.h"
#include "view/arcball.h"
#include "view/input_controller.h"
#include "web/window_projection.h"

namespace {

// The layout of the figures, as web/keyboard.js reads them.
constexpr size_t HEADER = 4;        // title shown, first pick, creature under the pointer, count
constexpr size_t PER_CREATURE = 6;  // x, y, radius, in front of the eye, first and second child

std::vector<float> marks;

}  // namespace

// The figures, valid until the next call: HEADER values, then PER_CREATURE for each creature in
// index order. x and y are window pixels as GLUT counts them (y downwards), where the sphere's
// centre is seen: the pick test's ray for a click at the nearest pixel passes through it. The
// radius is the sphere's outline in pixels, about that centre; a creature behind the eye has 0 in
// "in front" and nothing else. A missing child is NONE_INDEX. Must be called between display
// passes, when the model-view matrix is the camera's; while the title is shown, only the header
// is given (the World may not exist yet, and asking for it would load it).
extern "C" EMSCRIPTEN_KEEPALIVE const float* creatureMarks() {
    const InputController& input = InputController::instance();
    marks.assign(HEADER, 0.0f);
    marks[0] = static_cast<float>(input.titleShown);
    marks[1] = static_cast<float>(input.firstPick);
    marks[2] = static_cast<float>(input.hoverIndex);
    // A title that has gone was dismissed by a left release, whose press made the World.
    if (input.titleShown) return marks.data();

    const WindowProjection view = WindowProjection::current();
    const GLint* viewport = view.viewport;
    // Pixels per unit of normalised height at unit distance, for the outline.
    const double focal = 0.5 * view.projection[5] * viewport[3];

    const World& world = World::instance();
    const Mat4& turn = ArcBall::instance().transform;
    marks[3] = static_cast<float>(world.genomes.size());
    marks.reserve(HEADER + PER_CREATURE * world.genomes.size());
    for (const Model& genome : world.genomes) {
        const Vec4 eye = view.toEye(turn, genome.position + genome.centre);
        const Vec4 clip = transformed(view.projection, eye);
        float x = 0.0f;
        float y = 0.0f;
        float radius = 0.0f;
        float inFront = 0.0f;
        if (clip.w > 0.0f) {
            inFront = 1.0f;
            x = static_cast<float>(viewport[0] + 0.5 * (clip.x / clip.w + 1.0) * viewport[2]);
            const double windowY = viewport[1] + 0.5 * (clip.y / clip.w + 1.0) * viewport[3];
            y = static_cast<float>(viewport[3] - 1 - windowY);
            // The outline of a sphere of radius r at distance d from the eye is seen at an angle
            // whose tangent is r / sqrt(d^2 - r^2); from inside the sphere, it fills the window.
            const double r2 = genome.scaleSquared + 5.0;
            const double d2 =
                static_cast<double>(dot({eye.x, eye.y, eye.z}, {eye.x, eye.y, eye.z}));
            radius = d2 > r2 ? static_cast<float>(focal * std::sqrt(r2 / (d2 - r2)))
                             : static_cast<float>(viewport[2] + viewport[3]);
        }
        marks.insert(marks.end(), {x, y, radius, inFront, static_cast<float>(genome.firstChildId),
                                   static_cast<float>(genome.secondChildId)});
    }
    return marks.data();
}
