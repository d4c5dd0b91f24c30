#include "app/population_draw.h"

#include <cstddef>
#include <cstdint>

#include <GL/gl.h>

#include "view/chance.h"

namespace {

constexpr float HOVER_SCALE = 1.04f;

}  // namespace

void drawPopulation(const World& world, const PopulationView& view) {
    drawFamilyLinks(world, view.model.transform);
    for (std::size_t j = 0; j < world.creatures.size(); ++j) {
        const auto index = static_cast<int64_t>(j);
        glPushMatrix();
        if (index == view.hoverIndex) glScalef(HOVER_SCALE, HOVER_SCALE, HOVER_SCALE);
        if (index == view.firstPick) {
            draw(world.creatures[j], 0.6f, -0.2f, -0.2f, view.model);
        } else {
            draw(world.creatures[j], 0.0f, 0.0f, 0.0f, view.model);
        }
        glPopMatrix();
        // The software renderer keeps a frame's sorted triangles until they are drawn, so an
        // unflushed frame holds the whole population's; flushed creature by creature, it holds
        // one creature's at a time.
        glFlush();
    }
}

void passPopulationUnseen(const World& world) {
    // The draws of all creatures in one skip: the same draws, in one jump of the generator.
    std::uint64_t draws = 0;
    for (const Model& creature : world.creatures)
        draws += drawCount(creature);
    chance::skip(draws);
    if (!world.familyLinks.empty()) glColor3f(1.0f, 1.0f, 1.0f);
    for (const Model& creature : world.creatures)
        leaveAsDrawn(creature);
}
