// libFuzzer target: arbitrary bytes through the OBJ reader and, when it accepts them, through the
// mesh steps that follow it at start-up. Nothing here may crash, hang or read out of bounds. The
// reader reports failures instead of ending the process, and open rings are tolerated.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "mesh/obj_reader.h"
#include "mesh/ring_walk.h"

namespace {

void ignoreRingFault(const char*, const std::string&, int32_t) {}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool once = (setRingFaultHandler(&ignoreRingFault), true);
    (void)once;
    Model model;
    const ObjReadResult result =
        readObjText(std::string_view(reinterpret_cast<const char*>(data), size), "fuzz.obj", Vec3{}, model);
    if (!result.ok) return 0;
    model.buildHalfEdges();
    model.computeNormals();
    Model copy(model);
    copy = model;
    return 0;
}
