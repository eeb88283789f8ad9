// Access to the stub's own ParameterBlock (layout in parameter_block.h).
#pragma once

#include "portable/parameter_block.h"

extern uint8_t ParameterBlock[PARAMETER_BLOCK_BYTES];

inline uint32_t ParameterField32(size_t offset) { return ReadLe32(ParameterBlock + offset); }
inline uint16_t ParameterField16(size_t offset) { return ReadLe16(ParameterBlock + offset); }
inline uint32_t ParameterFlags() { return ParameterField32(PB_FLAGS); }
