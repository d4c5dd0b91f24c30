// Drawing one creature model in immediate-mode OpenGL: a coloured pass whose colour carries the
// shading term, and a dark pass of the same polygons pushed along the vertex normals by a random
// amount that changes every frame.
#pragma once

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
//   coloured pass  glNormal3f(n), glColor3f(offset + colour + shade), glVertex3f(p)
//                  with shade = (p - viewVector) . n + 0.2
//   dark pass      glColor3f(0.1, 0.1, 0.1), then per corner glNormal3f(n),
//                  glVertex3f(p + n x (r x 0.00125)) with r = chance::draw() % 100, one draw
//                  per corner
// A run of triangles shares one GL_TRIANGLES block (coloured, dark, coloured, dark, ...); a
// polygon with more corners gets a block for each of its passes, which OpenGL splits into
// triangles of consecutive corners (a fourth corner alone makes none).
// Colours are not clamped. A model without normals sends no normals, gets shade 0.2 and no dark
// offset (the generator is still drawn once per corner); so does a corner whose position has no
// normal. A corner whose position index lies outside the positions is not sent.
// Leaves the matrix stack and the matrix mode (GL_MODELVIEW) as it found them.
void draw(const Model& model, float redOffset, float greenOffset, float blueOffset,
          const DrawContext& context);
