// The refinement step that both entry points of loop.h run: it goes through the parts of a source
// model and writes the refined parts, their records and points, linking the records as it goes
// when asked to.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "mesh/model.h"
#include "mesh/portable.h"
#include "subdiv/equal_points.h"
#include "subdiv/limit_normals.h"
#include "subdiv/point_rules.h"

namespace subdiv {

inline bool validIn(RecordIndex r, size_t size) {
    return static_cast<uint32_t>(r) < size;
}

inline bool refinable(const BodyPart& part) {
    return !part.polygons.empty() && part.arena != nullptr;
}

// The working lists of a step, kept from one step to the next so that a step allocates nothing
// once they have grown to the size of the meshes it refines.
struct StepScratch {
    // Per vertex record of the source's arena: the stamp of the part that made its point, and
    // the index its later corners take. Stamps count up over all steps, so an entry left by an
    // earlier step never matches.
    struct Made {
        uint32_t stamp = 0;
        int32_t index = 0;
    };
    std::vector<Made> made;
    uint32_t lastStamp = 0;
    // Bit per point: made at the first visit of a vertex (its later corners may need an earlier
    // index).
    std::vector<uint64_t> vertexPoints;
    // Per part: the first point it made.
    std::vector<size_t> pointBegin;
    // Hashed values of the points (a power of two of bits), and the vertex points whose bit an
    // earlier point had set.
    Bitmap seen;
    std::vector<int32_t> candidates;
    // Linking while refining: per part, the corner count of each source vertex; per point of the
    // part at hand, its vertex record; per new vertex, its last outgoing boundary half-edge; the
    // ring of the vertex being finished; the normals the step made, before the limit normals.
    std::vector<std::vector<int32_t>> cornerCounts;
    std::vector<RecordIndex> recordOf;
    std::vector<RecordIndex> boundaryEdge;
    std::vector<Vec3> ring;
    std::vector<Vec3> refinedNormals;
};

// The scratch lists of the steps of this thread.
StepScratch& stepScratch();

// Where the step writes: the result's polygons and the records of one arena, by index, in the
// order in which the faces are refined.
struct Output {
    Model& model;
    TopologyArena& arena;
    size_t faces = 0;      // face records written so far
    size_t halfEdges = 0;  // half-edge records written so far
};

// What one step keeps while it goes through the parts.
class Step {
public:
    // With link, every part has passed linksWhileRefining, which left its corner counts in the
    // scratch.
    Step(const Model& source, Output& out, bool link, StepScratch& scratch)
        : source_(source), out_(out), result_(out.model), link_(link), scratch_(scratch) {
        scratch.vertexPoints.clear();
        scratch.pointBegin.clear();
        scratch.refinedNormals.clear();
    }

    // Refines source part i into result part i.
    void refinePart(size_t i);

    // Gives the later corners of every vertex point that equals an earlier point the index of
    // the first such point; returns whether any corner changed.
    bool resolveEqualPoints();

private:
    // Appends a point and its normal; returns its index.
    int32_t append(const RefinedPoint& point) {
        const auto index = static_cast<int32_t>(result_.positions.size());
        result_.positions.push_back(point.position);
        result_.normals.push_back(point.normal);
        if (link_) scratch_.refinedNormals.push_back(point.normal);
        if (exact_) {
            PointKey key;
            if (keyOf(point.position, key)) exact_->try_emplace(key, index);
        }
        return index;
    }

    // The corner index for this visit of vertex record v of the part stamped `stamp`.
    int32_t vertexCorner(const PointRules& rules, MeshVertex& vertex, RecordIndex v,
                         uint32_t stamp);

    // The first point equal to p made so far; NONE_INDEX when there is none. Builds the exact
    // index of all points on first use and keeps it up to date from then on.
    int32_t firstEqual(const Vec3& p);

    // Linking while refining (see linksWhileRefining), for the part at hand.
    struct Links {
        RecordIndex sourceBase = 0;      // the source part's first half-edge
        RecordIndex vertexBase = 0;      // the new part's first vertex record
        size_t pointBase = 0;            // the first point the part makes
        int32_t* cornersLeft = nullptr;  // per source vertex: faces still to come
    };
    void linkChildren(BodyPart& part, size_t f, RecordIndex block, const RecordIndex h[3],
                      const int32_t e[3], const int32_t c[3], const HalfEdge* he,
                      RecordIndex record[4][3], RecordIndex twin[12]);
    void finishVertex(BodyPart& part, const VertexLimitNormal& limit, RecordIndex r);

    const Model& source_;
    Output& out_;
    Model& result_;
    bool link_;
    StepScratch& scratch_;
    Links links_;
    std::unique_ptr<HashMap<PointKey, int32_t>> exact_;
};

}  // namespace subdiv
