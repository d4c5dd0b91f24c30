// The files the page saves of a creature (the page's saving, web/save.js): what is seen, for a 3D
// program or a printer, and the genome, to breed from again. Free of OpenGL; the desktop's unit
// tests read them back.
//
// "As seen" is a display copy (the refined mesh with its limit normals) in the creature's own
// frame: each body part's transform (its rotation, offset and scale, as the drawing applies them)
// and the creature's size applied; not its place in the tree, its turn or its breathing. Normals
// follow the transform (by the inverse transpose, made unit length again). Triangles are written
// counter-clockwise seen from outside, as 3D programs take them (the viewer's own front faces
// are clockwise); a position used by body parts of different transforms is written once for each.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "mesh/model.h"

// As seen, in Wavefront OBJ: "v" and "vn" lines, one "g" per body part with its name, and
// "f a//a b//b c//c" triangles. Positions and normals keep their order and exact values (to the
// last bit, as the program's reader reads them back) where no transform moves them, as for a
// start creature; title goes into the first comment line.
std::string seenAsObj(const Model& display, const std::string& title);

// As seen, in binary glTF 2.0 (.glb): one node and mesh per body part, named for it, with
// positions (one unit a metre) and unit normals, indexed triangles.
std::vector<uint8_t> seenAsGlb(const Model& display, const std::string& title);

// The genome in the form the start files take: "v", "vt", "vn" lines for every position, then per
// body part its "g" line and its polygons as "f a/a/a ..." lines, corner for corner, so that
// another start file of the shipped topology pairs with it. The body parts' transforms and the
// creature's size are baked into the positions (normals made unit length again), since a start
// file has none: a creature started from it looks as this one does. Crease sharpness is not
// kept: a start creature's is 0.
std::string genomeAsObj(const Model& genome, const std::string& title);
