// A unit sphere as a triangle mesh, an icosahedron refined by splitting its triangles, drawn as a
// wireframe in a fixed three-quarter view: the illustration of the title picture and the icon.
#pragma once

#include <array>
#include <vector>

#include "tools/canvas.h"

namespace art {

struct P3 {
    float x, y, z;
};

struct Sphere {
    std::vector<P3> points;
    std::vector<std::array<int, 3>> triangles;
};

// The 12 corners and 20 triangles of an icosahedron, the corners on the unit sphere.
Sphere icosahedron();

// Splits every triangle in four at its edge midpoints, pushed out onto the sphere.
Sphere refine(const Sphere& coarse);

// Draws the sphere's edges centred at (cx, cy) with the given radius, y pointing down the canvas,
// and a dot of dotColour on each vertex of the front half. Edges at the back are faint, at the
// front bright, and drawn last.
void drawSphere(Canvas& canvas, const Sphere& sphere, float cx, float cy, float radius, Rgb colour,
                float lineWidth, Rgb dotColour);

}  // namespace art
