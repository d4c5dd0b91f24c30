// The check of start creatures a page is given in place of the shipped ones (web/start.js), made
// before the program sees them with the program's own reader and mesh steps. Free of OpenGL; the
// desktop's unit tests run it on files of their own.
#pragma once

#include <array>
#include <string>

// Checks the three start files at paths, in start order (bird, squat one, rabbit), as the program
// loads them: each must be read by the program's reader without a complaint, have triangles in
// body parts named from BODY_PART_NAMES, and be a surface whose rings close through the half-edge
// build, the normals and the display refinement; and the three must share one topology (the
// same body parts in the same order, the same number of positions, the same triangles in the same
// order), as crossover pairs them. Returns the empty string when the program can start from them,
// or else one sentence, without a full stop, that names the file (the last part of its path) and
// what is wrong, such as "bird.obj has 412 positions; the other two have 408". Prints what the
// reader prints; a ring that does not close is reported, not fatal, while it runs.
std::string checkStartFiles(const std::array<std::string, 3>& paths);
