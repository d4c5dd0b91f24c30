#include "mesh/ring_walk.h"

#include <cstdio>
#include <cstdlib>

namespace {

void exitOnRingFault(const char* operation, const std::string& partName, int32_t positionIndex) {
    std::printf(
        "Error! The triangles around vertex %d of part \"%s\" do not close (%s): the mesh is "
        "not a surface\n",
        positionIndex + 1, partName.c_str(), operation);
    std::fflush(stdout);
    std::exit(1);
}

RingFaultHandler& currentHandler() {
    static RingFaultHandler handler = &exitOnRingFault;
    return handler;
}

}  // namespace

RingFaultHandler setRingFaultHandler(RingFaultHandler handler) {
    RingFaultHandler previous = currentHandler();
    currentHandler() = handler ? handler : &exitOnRingFault;
    return previous;
}

void reportRingFault(const char* operation, const std::string& partName, int32_t positionIndex) {
    currentHandler()(operation, partName, positionIndex);
}

RecordIndex firstBoundaryHalfEdge(const HalfEdge* halfEdges, size_t count, RecordIndex h,
                                  RingDirection direction, size_t limit) {
    const auto valid = [count](RecordIndex r) { return static_cast<uint32_t>(r) < count; };
    for (size_t step = 0; step < limit && valid(h); ++step) {
        const HalfEdge& e = halfEdges[h];
        if (e.boundary != 0) return h;
        if (!valid(e.twin)) return NONE_INDEX;
        const HalfEdge& twin = halfEdges[e.twin];
        h = direction == RingDirection::kOutgoing ? twin.next : twin.prev;
    }
    return NONE_INDEX;
}
