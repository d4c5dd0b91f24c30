// The entry points of a Loop step (loop.h): the plain step that subdivide runs and that a
// display refinement falls back to, and the display refinement that links its records as it
// makes them where the source allows (linked_step.h) and is otherwise the plain step followed by
// relinkHalfEdges and computeLimitNormals.
#include "subdiv/loop.h"

#include <cstdint>
#include <cstdio>
#include <memory>
#include <vector>

#include "subdiv/limit_normals.h"
#include "subdiv/linked_step.h"
#include "subdiv/refine_step.h"

namespace {

using subdiv::refinable;
using subdiv::StepScratch;

// The parts of result as source's, without polygons or records yet; their records go to arena.
// Reuses the storage that result's parts already have.
void startParts(const Model& source, Model& result, const std::shared_ptr<TopologyArena>& arena) {
    result.parts.resize(source.parts.size());
    for (size_t i = 0; i < source.parts.size(); ++i) {
        const BodyPart& src = source.parts[i];
        BodyPart& part = result.parts[i];
        part.name = src.name;
        part.partOffset = src.partOffset;
        part.partScale = src.partScale;
        part.partAngle = src.partAngle;
        part.partAxis = src.partAxis;
        part.colour = src.colour;
        part.vertices.clear();
        part.faceNormals.clear();
        part.arena = arena;
        // A part that is refined sizes these lists itself, keeping the room they have.
        if (!refinable(src)) {
            part.halfEdges.clear();
            part.faces.clear();
            part.polygons.clear();
        }
    }
}

// Refines every part of source into result, whose records go to arena; returns whether equal
// points moved corners (see resolveEqualPoints). The arena's face and half-edge lists are sized
// for every face first and cut to what was written at the end; reused storage keeps its room.
bool refineParts(const Model& source, Model& result, TopologyArena& arena, bool link,
                 StepScratch& scratch) {
    size_t faceCount = 0;
    size_t vertexCount = 0;
    for (const BodyPart& part : source.parts) {
        if (!refinable(part)) continue;
        faceCount += part.faces.size();
        vertexCount += part.vertices.size();
    }
    arena.faces.resize(4 * faceCount);
    arena.halfEdges.resize(12 * faceCount);
    // A closed part makes one point per vertex and one per pair of half-edges; an open part
    // makes a few more, and the lists grow then. The relink makes one vertex record per point a
    // part uses.
    const size_t expectedPoints = vertexCount + 3 * faceCount / 2 + 16;
    result.positions.reserve(expectedPoints);
    result.normals.reserve(expectedPoints);
    arena.vertices.reserve(expectedPoints);

    subdiv::Output out{result, arena};
    subdiv::ChildLinks links(result, arena, scratch.links);
    subdiv::Step step(source, out, link ? &links : nullptr, scratch);
    for (size_t i = 0; i < source.parts.size(); ++i) {
        if (refinable(source.parts[i])) step.refinePart(i);
    }
    arena.faces.resize(out.faces);
    arena.halfEdges.resize(out.halfEdges);
    return step.resolveEqualPoints();
}

// The arena target's parts have to themselves, emptied for reuse; a new one when they share it
// with another model (or have none).
std::shared_ptr<TopologyArena> reusedArena(Model& target) {
    if (!target.parts.empty() && target.parts[0].arena) {
        std::shared_ptr<TopologyArena> arena = target.parts[0].arena;
        long holders = 1;  // this copy
        for (const BodyPart& part : target.parts)
            holders += part.arena == arena ? 1 : 0;
        if (arena.use_count() == holders) {
            arena->vertices.clear();
            return arena;
        }
    }
    return std::make_shared<TopologyArena>();
}

}  // namespace

Model subdivide(Model& source) {
    std::printf("Starting Subdivision...");
    Model result;
    auto arena = std::make_shared<TopologyArena>();
    startParts(source, result, arena);
    refineParts(source, result, *arena, false, subdiv::stepScratch());
    result.takeCreatureFields(source);
    return result;
}

void subdivideLinked(const Model& source, Model& target) {
    std::printf("Starting Subdivision...");
    StepScratch& scratch = subdiv::stepScratch();
    std::vector<std::vector<int32_t>>& cornerCounts = scratch.links.cornerCounts;
    if (cornerCounts.size() < source.parts.size()) cornerCounts.resize(source.parts.size());
    bool link = true;
    for (size_t i = 0; i < source.parts.size() && link; ++i)
        link = subdiv::linksWhileRefining(source.parts[i], cornerCounts[i]);

    std::shared_ptr<TopologyArena> arena = reusedArena(target);
    target.positions.clear();
    target.normals.clear();
    startParts(source, target, arena);
    const bool moved = refineParts(source, target, *arena, link, scratch);
    target.takeCreatureFields(source);
    if (link && !moved) return;

    if (link) {
        // A vertex's later corners moved to an earlier equal point: the links no longer fit the
        // polygons. Back to the blank records and the normals the step alone leaves.
        for (HalfEdge& h : arena->halfEdges) {
            const int32_t sharpness = h.sharpness;
            h = HalfEdge{};
            h.sharpness = sharpness;
        }
        for (MeshFace& f : arena->faces)
            f.edge = NONE_INDEX;
        arena->vertices.clear();
        for (BodyPart& part : target.parts)
            part.vertices.clear();
        target.normals = scratch.refinedNormals;
    }
    target.relinkHalfEdges();
    computeLimitNormals(target);
}
