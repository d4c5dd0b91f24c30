// Drawing the whole population: the family tree's links, then every creature's display copy.
#pragma once

#include <cstdint>

#include "creature/world.h"
#include "mesh/model_draw.h"

// What the population drawing reads besides the World.
struct PopulationView {
    DrawContext model;          // clock, trackball rotation and view offsets for every creature
    int32_t hoverIndex = -999;  // creature under the mouse, drawn 4% larger; -999 = none
    int32_t firstPick = -1;     // creature picked first for a breeding, tinted red; -1 = none
};

// Draws world.familyLinks as grey lines of width 2 under the trackball transform, leaving the
// current colour white when there were links.
void drawFamilyLinks(const World& world, const Mat4& transform);

// Draws world.familyLinks as grey lines of width 2, then world.creatures in index order. The
// hovered creature is scaled by 1.04 about the current origin (so it also moves slightly away
// from the scene origin) before it is placed; the first-picked one gets the colour offsets
// (0.6, -0.2, -0.2); one creature can be both. Leaves the matrix stack as it found it, the line
// width at 2 and the current colour white when there were links.
void drawPopulation(const World& world, const PopulationView& view);

// Does what drawPopulation does to the generator and to OpenGL's current colour and normal, and
// draws nothing: one chance::skip of every creature's draws, the colour white when there are
// links, then leaveAsDrawn for every creature in index order. For a display pass whose picture
// no one will see.
void passPopulationUnseen(const World& world);

#ifdef __EMSCRIPTEN__
// The browser's display pass of the population (web/gl_compat.cpp): drawPopulation in a pass the
// browser will show, passPopulationUnseen in any other, whose picture no one would see.
void webDrawPopulation(const World& world, const PopulationView& view);
#endif
