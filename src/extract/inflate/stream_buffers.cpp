#include "extract/inflate/stream_buffers.h"

int32_t InputRemaining;
