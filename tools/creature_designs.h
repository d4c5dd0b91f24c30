// The three start creatures: one template of body parts and, per creature, the shape of each
// part.
//
// Every creature is made by tessellating the same template, part by part in the same order and
// with the same ring and segment counts, so the three meshes share one topology: the same
// positions count, the same parts and the same triangles, differing only in where the vertices
// sit. A vertex plays the same role in each (ring k, segment j of the same part), which is what
// blending two creatures position by position needs. Paired parts are designed on the
// creature's left (x < 0) and mirrored to the right.
//
// Model space: the creature stands on y = 0, centred on x = z = 0, facing -z.
#pragma once

#include <array>
#include <string>

#include "tools/creature_mesh.h"

namespace creature_files {

enum class Species { Bird, Squant, Rabbit };

inline constexpr std::array<Species, 3> ALL_SPECIES{Species::Bird, Species::Squant,
                                                    Species::Rabbit};

// One body part of the template: its group name and its tessellation, or, for a right part,
// the index of the left part whose mirror image it is.
struct PartSlot {
    const char* name;
    int segments;
    int rings;
    int mirrorOf = -1;
};

inline constexpr std::array<PartSlot, 13> PART_TEMPLATE{{
    {"head", 12, 8},
    {"torso", 12, 8},
    {"lefteye", 6, 3},
    {"righteye", 6, 3, 2},
    {"mouth", 8, 5},
    {"leftleg", 8, 6},
    {"rightleg", 8, 6, 5},
    {"lefthand", 8, 5},
    {"righthand", 8, 5, 7},
    {"tail", 8, 5},
    {"hair", 6, 4},
    {"leftear", 8, 5},
    {"rightear", 8, 5, 11},
}};

// The file name under model_data/, e.g. "bird1.obj".
std::string fileName(Species species);

// The finished mesh of one creature (positions on the printed grid, normals computed).
CreatureMesh buildCreature(Species species);

}  // namespace creature_files
