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

void RingWalk::reportBrokenRing(const BodyPart& part, RecordIndex vertex, const char* operation) {
    const bool known = static_cast<size_t>(vertex) < part.arena->vertices.size();
    reportRingFault(operation, part.name, known ? part.vertex(vertex).positionIndex : NONE_INDEX);
}
