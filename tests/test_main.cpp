// The core tests' entry point: a ring that does not close fails the running test instead of
// ending the whole test process. Tests that expect such rings install their own handler.
#include <gtest/gtest.h>

#include "mesh/ring_walk.h"

namespace {

void failOnRingFault(const char* operation, const std::string& partName, int32_t positionIndex) {
    ADD_FAILURE() << "unexpected open ring (" << operation << ") at position index "
                  << positionIndex << " of part " << partName;
}

}  // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    setRingFaultHandler(&failOnRingFault);
    return RUN_ALL_TESTS();
}
