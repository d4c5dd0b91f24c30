// Small meshes shared by the tests, and a generator of random, often broken, meshes.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "mesh/model.h"
#include "mesh/ring_walk.h"

namespace fixtures {

// While it lives, rings that do not close are counted instead of failing the running test (for
// tests on meshes that are meant to be broken).
class RingFaultCount {
public:
    RingFaultCount();
    ~RingFaultCount();
    RingFaultCount(const RingFaultCount&) = delete;
    RingFaultCount& operator=(const RingFaultCount&) = delete;

    int count() const;
    void reset();

private:
    RingFaultHandler previous_;
};

// The half-edge build, and the build followed by the vertex normals, without their console output.
void buildQuietly(Model& m);
void buildWithNormalsQuietly(Model& m);

// A copy of m with topology records of its own (a plain copy shares them); parts that shared
// records share their copy.
Model deepCopy(const Model& m);

// The same floats, bit for bit.
bool sameBits(const std::vector<Vec3>& a, const std::vector<Vec3>& b);

using Triangle = std::vector<int32_t>;  // 0-based position indices, 3 or more

struct PartLayout {
    std::string name;
    std::vector<Triangle> polygons;
};

// A model with the given positions and parts. Corners get normalSlot -1 (normals appended), or
// with normalSlots a slot numbered apart from the position: (position index + 1) mod the number
// of positions, as a file whose normals are listed in another order would give.
Model makeModel(std::vector<Vec3> positions, const std::vector<PartLayout>& parts,
                bool normalSlots = false);

Model singleTriangle();    // (0,0,0) (1,0,0) (0,1,0)
Model twoTriangles();      // (1,2,3) and (3,2,4) in one part, sharing the edge 2-3
Model tetrahedron();       // closed, consistently oriented
Model octahedron();        // closed, valence 4 everywhere
Model icosahedron();       // closed, valence 5 everywhere
Model openFan(int sides);  // a centre vertex surrounded by `sides` triangles, open rim
Model planarGrid(int n);   // n x n squares in z = 0, two triangles each
// A closed UV sphere with `rings` x `segments` quads split into triangles plus pole fans.
Model uvSphere(int rings, int segments, float radius = 1.0f);

// Random positions and random polygons over them: shared positions between parts, both
// orientations, edges used by three or more triangles, four-corner polygons, degenerate corners.
Model randomMesh(std::mt19937& rng);

// The draws mutation makes after reseeding with a clock second: the coin, three more, and the
// one after them; with the part scale and the half-edge, origin and target sharpness they give.
struct MutationDraws {
    int d[5];
    bool odd;  // the coin: finer scale steps, and sharpness drawn instead of cleared
    Vec3 scale;
    int edge, origin, target;
};
MutationDraws replayMutationDraws(unsigned seed);

// Records of two models compared field by field (arena indices included); "" when equal.
std::string compareTopology(const Model& a, const Model& b);

}  // namespace fixtures
