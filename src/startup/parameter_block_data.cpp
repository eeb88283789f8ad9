// The stub's own ParameterBlock, in initialised data. The builder patches
// these bytes in the finished file; until then only the marker is set, and a
// zero completion word tells start-up that the stub was never completed.
//
// Kept in a translation unit of its own and not const, so that no other code
// can fold the initial values into constants.
#include "startup/parameter_block_data.h"

__attribute__((used, aligned(4))) uint8_t ParameterBlock[PARAMETER_BLOCK_BYTES] = {
    PARAMETER_MARKER_INIT};
