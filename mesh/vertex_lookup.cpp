#include "mesh/vertex_lookup.h"

void VertexLookup::add(int32_t positionIndex, int32_t place) {
    if (inDense(positionIndex)) {
        int32_t& slot = dense_[static_cast<size_t>(positionIndex)];
        if (slot < 0) slot = place;
    } else {
        sparse_.try_emplace(positionIndex, place);
    }
}

void VertexLookup::addPart(const BodyPart& part) {
    const size_t records = part.arena ? part.arena->vertices.size() : 0;
    for (size_t j = 0; j < part.vertices.size(); ++j) {
        const RecordIndex r = part.vertices[j];
        if (static_cast<size_t>(r) < records)
            add(part.vertex(r).positionIndex, static_cast<int32_t>(j));
    }
}

int32_t VertexLookup::findOrMake(BodyPart& part, int32_t positionIndex) {
    const int32_t place = find(positionIndex);
    if (place >= 0) return place;
    const auto r = static_cast<RecordIndex>(part.arena->vertices.size());
    part.arena->vertices.push_back(MeshVertex{});
    part.arena->vertices.back().positionIndex = positionIndex;
    part.vertices.push_back(r);
    const auto made = static_cast<int32_t>(part.vertices.size() - 1);
    add(positionIndex, made);
    return made;
}

void VertexLookup::clear(const BodyPart& part) {
    const size_t records = part.arena ? part.arena->vertices.size() : 0;
    for (RecordIndex r : part.vertices) {
        if (static_cast<size_t>(r) >= records) continue;
        const int32_t p = part.vertex(r).positionIndex;
        if (inDense(p)) dense_[static_cast<size_t>(p)] = -1;
    }
    sparse_.clear();
}
