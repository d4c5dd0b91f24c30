// Reading creature meshes from Wavefront OBJ text.
//
// The subset read: "v x y z" positions, "vn x y z" normals, "vt u v" texture coordinates (checked,
// not kept), "g name" body parts and "f a/b/c ..." polygons. A line is split at spaces only (a tab
// is part of a token). The first token of a line that is a keyword takes the rest of the line as
// its arguments; other tokens before it, a comment mark among them, are skipped, so "# v 1 2 3"
// is read as a position.
//
// Progress goes to standard output as the program shows it: "Opening <path>", each body part's
// name, and a report of the counts at the end.
#pragma once

#include <string>
#include <string_view>

#include "mesh/model.h"
#include "view/math.h"

struct ObjReadResult {
    bool ok = true;
    // When !ok: the message that was printed and the status the program ends with.
    std::string message;
    int exitStatus = 0;
};

// Reads the OBJ file at path into model (which is reset first) and sets model.position.
// Prints "Opening %s\n" before opening, then the part names, then the report. A failure prints
// its message and returns it; nothing here ends the process:
//   the file cannot be opened      "Cannot Open %s... Quitting!\n"          status -1
//   a "v" line without 3 numbers   "Error! Vertex vector size not 3\n"      status 1
//   a "vn" line without 3 numbers  "Error! Normal vector count not 3\n"     status 1
//   a "vt" line without 2 numbers  "Error! Texture Coord Count not 2\n"     status 1
//   a "v" or "vn" number that is infinite or NaN  "Error! ... not a finite number on line %ld\n"
//                                                                           status 1
//   a polygon the later mesh steps cannot use (fewer than 3 corners, or a position index outside
//   the file's positions)          "Error! ...\n" naming the problem and the line, status 1
ObjReadResult readObj(const std::string& path, Vec3 position, Model& model);

// The same, on text already in memory; prints everything readObj prints after opening.
ObjReadResult readObjText(std::string_view text, const std::string& path, Vec3 position,
                          Model& model);

// A number as atof reads it (leading white space, optional sign, decimal or hexadecimal,
// infinity and NaN, trailing garbage ignored, 0 when there is no number), stored as a float.
float parseObjFloat(std::string_view token);

// Scans token with the pattern "%d/%d/%d": overwrites numbers[0], then [1], then [2] for as many
// numbers as it finds in that form and returns how many it stored; -1 when the token holds
// nothing but white space. Numbers beyond the 32-bit range saturate.
int scanFaceToken(std::string_view token, int numbers[3]);
