// Drawing one creature model in OpenGL: a coloured pass whose colour carries the shading term,
// and a dark pass of the same polygons pushed along the vertex normals by a random amount that
// changes every frame.
#pragma once

#include <cstdint>

#include "mesh/model.h"
#include "view/math.h"

// What the drawing reads besides the model: the frame clock, the trackball rotation and the
// scene translation (the camera's view offsets).
struct DrawContext {
    float currentTime = 0.0f;  // milliseconds, drives the breathing
    Mat4 transform;            // trackball rotation, multiplied onto the model-view matrix
    float viewOffsetX = 0.0f;
    float viewOffsetY = 0.0f;
    float viewOffsetZ = 0.0f;
};

// The breathing scale at time currentTime: scale x ((sin(currentTime x pulseRate + pulsePhase)
// + 1) x 0.02 + 1), which swings between scale and 1.04 x scale.
float breathingScale(const Model& model, float currentTime);

// The unit view vector in the trackball-rotated frame: the scene translation turned back by the
// transpose of the trackball rotation, times 1 / its length. A zero translation (the eye at the
// scene origin) has no direction and gives the zero vector.
Vec3 viewVector(const DrawContext& context);

// Draws model with the three offsets added to every colour of its coloured pass.
//
// Multiplies the trackball rotation onto the current model-view matrix, then places the model
// (position, rotation, breathing scale) and each part (part angle and axis, offset, scale). For
// every polygon, all of its corners (not only three), as triangles:
//   coloured pass  normal n, colour offset + colour + shade, position p
//                  with shade = (p - viewVector) . n + 0.2
//   dark pass      normal n, colour (0.1, 0.1, 0.1), position p + n x (r x 0.00125) with
//                  r = chance::draw() % 100, one draw per corner
// The vertices are computed anew every frame and drawn from client arrays, one glDrawArrays
// (GL_TRIANGLES) per part; the triangles are those of a GL_TRIANGLES block per pass of each
// polygon: consecutive corners, a polygon's leftover one or two corners make none.
// Colours are not clamped. A model without normals has no normal array, gets shade 0.2 and no
// dark offset (the generator is still drawn once per corner); a corner whose position has no
// normal gets the same, with the normal current at that point. A corner whose position index
// lies outside the positions is left out (its draw is still made).
// Leaves the matrix stack and the matrix mode (GL_MODELVIEW) as it found them and disables the
// client arrays it enables (vertex, colour, normal: the caller has them disabled). The current
// colour is then the dark grey when there was a corner, the current normal the last one given.
// Fills one process-wide buffer: GL thread only.
void draw(const Model& model, float redOffset, float greenOffset, float blueOffset,
          const DrawContext& context);

// How many values of the generator draw(model, ...) draws: one per corner.
std::uint64_t drawCount(const Model& model);

// Leaves OpenGL's current colour and normal as draw(model, ...) does, and does nothing else: the
// colour becomes the dark grey when the model has a corner, and, when the model has normals, the
// normal becomes the last one draw would give (that of the last corner with a position and a
// normal), if any.
void leaveAsDrawn(const Model& model);

// Does what draw(model, ...) does to the generator and to OpenGL's current colour and normal,
// and nothing else: chance::skip(drawCount(model)), then leaveAsDrawn(model). For a pass whose
// picture no one will see.
void passUnseen(const Model& model);
