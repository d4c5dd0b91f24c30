// The generator's own record of a creature mesh, the tube primitive every body part is made
// from, and the OBJ text the program reads.
//
// A CreatureMesh keeps one list of positions (with one texture coordinate and one normal beside
// each) and a list of parts; a part's triangles index only positions that the part itself added,
// so no two parts share a vertex. Triangles are wound clockwise seen from outside, which is the
// front-face rule the viewer draws with.
//
// Everything is computed in double and then rounded to the six decimals the file prints, so the
// in-memory mesh equals the file and the text does not depend on float rounding.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace creature_files {

struct Point {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

inline Point operator+(const Point& a, const Point& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Point operator-(const Point& a, const Point& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Point operator*(const Point& a, double s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline double dot(const Point& a, const Point& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Point cross(const Point& a, const Point& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
double length(const Point& a);
// a / |a|; a must not be the zero vector.
Point unit(const Point& a);
// The mirror image in the plane x = 0.
inline Point mirrorX(const Point& a) {
    return {-a.x, a.y, a.z};
}

using Triangle = std::array<int32_t, 3>;  // 0-based position indices

struct PartMesh {
    std::string name;
    std::vector<Triangle> triangles;
};

struct CreatureMesh {
    std::vector<Point> positions;
    std::vector<std::array<double, 2>> texCoords;  // one per position
    std::vector<Point> normals;                    // one per position, unit, pointing outwards
    std::vector<PartMesh> parts;
};

// A value that varies along a tube: given at t = 0, 0.25, 0.5, 0.75 and 1, linear in between.
struct Profile {
    std::array<double, 5> knots{1.0, 1.0, 1.0, 1.0, 1.0};

    static Profile constant(double v) { return {{v, v, v, v, v}}; }
    double at(double t) const;
};

// A closed tube around a curved spine, capped by one vertex at each end.
//
// The spine is the quadratic Bezier curve from `from` (t = 0) to `to` (t = 1) with control point
// `via`. Each ring is an ellipse across the spine: its first axis is `side` made perpendicular to
// the spine's tangent, its second axis completes a right-handed frame with the tangent. The
// half-extents along the two axes are `width` and `depth` at the ring's t, multiplied by the cap
// envelope sin(theta)^roundness, where theta runs from 0 at `from` to pi at `to`: roundness 1
// closes the ends like an ellipsoid, smaller values make them blunter.
struct TubeShape {
    Point from;
    Point via;
    Point to;
    Point side{1.0, 0.0, 0.0};
    Profile width;
    Profile depth;
    double roundness = 1.0;

    // An ellipsoid with semi-axis `axis` along the spine (from centre - axis to centre + axis),
    // semi-axis `sideRadius` along `side` and `depthRadius` along the third direction.
    static TubeShape ellipsoid(const Point& centre, const Point& axis, const Point& side,
                               double sideRadius, double depthRadius);
    // A tube whose spine runs from `from` through `via` to `to`.
    static TubeShape curved(const Point& from, const Point& via, const Point& to, const Point& side,
                            const Profile& width, const Profile& depth, double roundness);
    // A straight tube from `from` to `to`.
    static TubeShape straight(const Point& from, const Point& to, const Point& side,
                              const Profile& width, const Profile& depth, double roundness);
};

// Appends one part: `rings` rings of `segments` vertices each between the two end vertices, so
// segments * rings + 2 positions and 2 * segments * rings triangles. Vertex order: the `from`
// end, the rings from `from` to `to` (each starting on the first axis), the `to` end. The
// triangle order and winding depend on segments and rings only, never on the shape.
void appendTube(CreatureMesh& mesh, const std::string& name, int segments, int rings,
                const TubeShape& shape);

// Appends the mirror image of part `source` in the plane x = 0 as a new part: its positions
// reflected in the same order, its triangles in the same order with two corners swapped, so
// they stay clockwise seen from outside. A right part made from a left one is then exactly
// symmetric to it, vertex by vertex and triangle by triangle.
void appendMirrorImage(CreatureMesh& mesh, const std::string& name, size_t source);

// Rounds every position to the printed grid of six decimals, then gives every position the
// outward unit normal of its part (the area-weighted mean of the faces around it).
void finishMesh(CreatureMesh& mesh);

// The mesh as OBJ text: a comment, then all "v", "vt" and "vn" lines, then per part a "g" line
// and its "f" lines with tokens "i/i/i" (position, texture coordinate and normal share the
// index). Numbers in "%.6f", single spaces, "\n" line ends, a final line end.
std::string objText(const CreatureMesh& mesh, const std::string& title);

}  // namespace creature_files
