// What the page's keyboard and screen reader support knows of the program between two frames:
// whether the title is shown, the first pick and the creature under the pointer, and for every
// creature where its pick sphere stands in the window and which children it has. The page moves
// the pointer onto a creature and clicks there from these figures, so they come from the very
// matrices, trackball rotation and spheres the pick test uses; nothing here changes the program.
#include "web/creature_marks.h"

#include <cmath>
#include <vector>

#include <emscripten/emscripten.h>

#include "creature/world.h"
#include "view/arcball.h"
#include "view/input_controller.h"
#include "web/window_projection.h"

namespace {

// The record as it is written: a header, then one block per creature in index order, all floats.
// The page reads it only through the decoder below, which is written for this layout.
struct MarksHeader {
    float titleShown;  // 1 while the title is shown
    float firstPick;   // the first pick of a breeding, -1 for none
    float hover;       // the creature under the pointer, NONE_INDEX for none
    float count;       // creatures that follow (0 while the title is shown)
};
struct CreatureMark {
    float x, y;         // window pixels (y downwards) where the pick sphere's centre is seen
    float radius;       // the sphere's outline in pixels about that centre
    float inFront;      // 1 in front of the eye; 0 behind it, where the rest is 0
    float firstChild;   // NONE_INDEX without children
    float secondChild;  // NONE_INDEX without children
};
static_assert(sizeof(MarksHeader) == 4 * sizeof(float) && sizeof(CreatureMark) == 6 * sizeof(float),
              "the decoder reads the record as packed floats");

std::vector<float> marks;

}  // namespace

// Hands the record to the page's onCreatureMarks, decoded: { title, firstPick, hover, creatures:
// [{ x, y, radius, inFront, children: [first, second] or [] }] }, a pick or hover of none as null.
// clang-format off
EM_JS(void, sendCreatureMarks, (const float* record, int headerFloats, int creatureFloats), {
    var at = record >> 2;
    var none = function(value, sentinel) { return value === sentinel ? null : value; };
    var creatures = [];
    var count = HEAPF32[at + 3];
    for (var i = 0, o = at + headerFloats; i < count; ++i, o += creatureFloats) {
        creatures.push({
            x: HEAPF32[o], y: HEAPF32[o + 1], radius: HEAPF32[o + 2], inFront: HEAPF32[o + 3] > 0,
            children: HEAPF32[o + 4] >= 0 ? [HEAPF32[o + 4], HEAPF32[o + 5]] : []
        });
    }
    Module['onCreatureMarks']({
        title: HEAPF32[at] !== 0, firstPick: none(HEAPF32[at + 1], -1),
        hover: none(HEAPF32[at + 2], -999), creatures: creatures
    });
});
// clang-format on

void tellCreatureMarks() {
    const InputController& input = InputController::instance();
    marks.assign(sizeof(MarksHeader) / sizeof(float), 0.0f);
    auto* header = reinterpret_cast<MarksHeader*>(marks.data());
    header->titleShown = static_cast<float>(input.titleShown);
    header->firstPick = static_cast<float>(input.firstPick);
    header->hover = static_cast<float>(input.hoverIndex);
    // A title that has gone was dismissed by a left release, whose press made the World.
    if (!input.titleShown) {
        const WindowProjection view = WindowProjection::current();
        const GLint* viewport = view.viewport;
        // Pixels per unit of normalised height at unit distance, for the outline.
        const double focal = 0.5 * view.projection[5] * viewport[3];

        const World& world = World::instance();
        const Mat4& turn = ArcBall::instance().transform;
        header->count = static_cast<float>(world.genomes.size());
        for (const Model& genome : world.genomes) {
            const Vec4 eye = view.toEye(turn, genome.position + genome.centre);
            const Vec4 clip = transformed(view.projection, eye);
            CreatureMark mark{0.0f,
                              0.0f,
                              0.0f,
                              0.0f,
                              static_cast<float>(genome.firstChildId),
                              static_cast<float>(genome.secondChildId)};
            if (clip.w > 0.0f) {
                mark.inFront = 1.0f;
                mark.x =
                    static_cast<float>(viewport[0] + 0.5 * (clip.x / clip.w + 1.0) * viewport[2]);
                const double windowY = viewport[1] + 0.5 * (clip.y / clip.w + 1.0) * viewport[3];
                mark.y = static_cast<float>(viewport[3] - 1 - windowY);
                // The outline of a sphere of radius r at distance d from the eye is seen at an
                // angle whose tangent is r / sqrt(d^2 - r^2); from inside, it fills the window.
                const double r2 = genome.scaleSquared + 5.0;
                const double d2 =
                    static_cast<double>(dot({eye.x, eye.y, eye.z}, {eye.x, eye.y, eye.z}));
                mark.radius = d2 > r2 ? static_cast<float>(focal * std::sqrt(r2 / (d2 - r2)))
                                      : static_cast<float>(viewport[2] + viewport[3]);
            }
            marks.insert(marks.end(), {mark.x, mark.y, mark.radius, mark.inFront, mark.firstChild,
                                       mark.secondChild});
        }
    }
    sendCreatureMarks(marks.data(), sizeof(MarksHeader) / sizeof(float),
                      sizeof(CreatureMark) / sizeof(float));
}
