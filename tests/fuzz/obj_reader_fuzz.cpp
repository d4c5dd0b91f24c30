// libFuzzer target: arbitrary bytes through the OBJ reader and, when it accepts them, through the
// mesh steps that follow it at start-up: the half-edge build, the normals, and the display
// refinement (two subdivision steps, each relinked and given limit normals, as the centre creature
// gets). Nothing here may crash, hang or read out of bounds. The reader reports failures instead
// of ending the process; a ring that does not close, which ends the program, ends the steps here.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mesh/obj_reader.h"
#include "mesh/ring_walk.h"
#include "subdiv/limit_normals.h"
#include "subdiv/loop.h"

namespace {

bool ringFault = false;

void noteRingFault(const char*, const std::string&, int32_t) {
    ringFault = true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool once = (setRingFaultHandler(&noteRingFault), true);
    (void)once;
    ringFault = false;
    Model model;
    const ObjReadResult result = readObjText(
        std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.obj", Vec3{}, model);
    if (!result.ok) return 0;
    model.buildHalfEdges();
    if (ringFault) return 0;
    model.computeNormals();
    if (ringFault) return 0;
    Model copy(model);
    copy = model;
    for (int step = 0; step < 2; ++step) {
        model = subdivide(model);
        if (ringFault) return 0;
        model.relinkHalfEdges();
        if (ringFault) return 0;
        computeLimitNormals(model);
        if (ringFault) return 0;
    }
    return 0;
}
