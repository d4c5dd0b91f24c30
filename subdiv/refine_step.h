// One Loop step over the parts of a model, as loop.h's entry points run it: for every source
// face, the points of its edges and corners (point_rules.h), four children with their face and
// half-edge records and polygons (child_layout.h), written by index in face order; the search
// for equal points (equal_points.h) once all points exist. With ChildLinks the new records are
// linked as they are written (linked_step.h); without, they are left blank for a relink.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "mesh/model.h"
#include "subdiv/equal_points.h"
#include "subdiv/linked_step.h"
#include "subdiv/point_rules.h"

namespace subdiv {

inline bool validIn(RecordIndex r, size_t size) {
    return static_cast<uint32_t>(r) < size;
}

// A part with something to refine.
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
    EqualPointSearch equal;
    LinkScratch links;
    // The normals the step made, before a linked step's limit normals replace them.
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
    // links: null to leave the new records blank, or the linking of a step whose every source
    // part has passed linksWhileRefining.
    Step(const Model& source, Output& out, ChildLinks* links, StepScratch& scratch)
        : source_(source), out_(out), result_(out.model), links_(links), scratch_(scratch) {
        scratch.equal.vertexPoints.clear();
        scratch.equal.pointBegin.clear();
        scratch.refinedNormals.clear();
    }

    // Refines source part i into result part i, as loop.h's subdivide describes: prints, edits
    // the source records' scratch fields and midpoint indices, clears the scratch flags of the
    // part again.
    void refinePart(size_t i);

    // Once every part is refined: see resolveEqualPoints (equal_points.h).
    bool resolveEqualPoints() { return subdiv::resolveEqualPoints(result_, scratch_.equal); }

private:
    // Appends a point and its normal; returns its index.
    int32_t append(const RefinedPoint& point) {
        const auto index = static_cast<int32_t>(result_.positions.size());
        result_.positions.push_back(point.position);
        result_.normals.push_back(point.normal);
        if (links_) scratch_.refinedNormals.push_back(point.normal);
        firstEqual_.add(point.position, index);
        return index;
    }

    // The corner index for this visit of vertex record v of the part stamped `stamp`.
    int32_t vertexCorner(const PointRules& rules, MeshVertex& vertex, RecordIndex v,
                         uint32_t stamp);

    const Model& source_;
    Output& out_;
    Model& result_;
    ChildLinks* links_;
    StepScratch& scratch_;
    FirstEqualPoint firstEqual_;
};

}  // namespace subdiv
