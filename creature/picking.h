// Which creature a mouse ray points at.
#pragma once

#include <cstddef>
#include <vector>

#include "mesh/model.h"
#include "view/math.h"

// The lowest index i < count whose pick sphere the ray meets, or NONE_INDEX.
//
// nearPoint and farPoint are the mouse position unprojected at window depths 0 and 1 (scene
// coordinates before the trackball rotation); both are turned into the trackball-rotated frame
// the creatures stand in with the transpose of transform. A creature's pick sphere has centre
// position + centre and squared radius scaleSquared + 5, taken from its genome. A ray of zero
// length (the two points equal) meets nothing.
int pickCreature(const std::vector<Model>& genomes, size_t count, const Mat4& transform,
                 const Vec3& nearPoint, const Vec3& farPoint);
