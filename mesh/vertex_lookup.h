// Finding a part's vertex record by position index.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/model.h"
#include "mesh/portable.h"

// Position index -> the place, in a part's vertices list, of the first record with that index:
// what a scan of the list from its first entry finds. Records are only ever appended to the list
// and keep their position index, so the first place registered for an index stays its answer.
// One lookup serves the parts of a model one after another: register a part's records, use it,
// then clear it.
class VertexLookup {
public:
    // Indices 0 .. positionCount - 1 are looked up in a table; others in a map.
    explicit VertexLookup(size_t positionCount) : dense_(positionCount, -1) {}

    // Registers the records the part lists now.
    void addPart(const BodyPart& part);

    // The place of the first record with positionIndex, or -1.
    int32_t find(int32_t positionIndex) const {
        if (inDense(positionIndex)) return dense_[static_cast<size_t>(positionIndex)];
        const auto it = sparse_.find(positionIndex);
        return it == sparse_.end() ? -1 : it->second;
    }

    // The place of the first record with positionIndex; when there is none, a new record is
    // appended to the part's arena and list (position index set, everything else as a fresh
    // record has it).
    int32_t findOrMake(BodyPart& part, int32_t positionIndex);

    // Forgets the part's records, ready for the next part.
    void clear(const BodyPart& part);

private:
    bool inDense(int32_t p) const { return static_cast<uint32_t>(p) < dense_.size(); }
    void add(int32_t positionIndex, int32_t place);

    std::vector<int32_t> dense_;
    HashMap<int32_t, int32_t> sparse_;
};
