// The body parts a creature file may have: the names of its OBJ groups, in the order the program
// holds them. Nothing in breeding treats a part by its name (parts pair by their place), but a
// creature file names each of its groups from this list.
#pragma once

#include <array>
#include <string_view>

inline constexpr std::array<std::string_view, 13> BODY_PART_NAMES = {
    "head",     "torso",     "lefteye", "righteye", "mouth",   "leftleg", "rightleg",
    "lefthand", "righthand", "tail",    "hair",     "leftear", "rightear"};
