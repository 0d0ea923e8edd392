// The limits the decoder helper puts on itself before it reads a picture: CPU time, address
// space, output size, no core files, no network and no descriptors but its own three.
#pragma once

#include <cstdint>

namespace pictavo {

struct DecoderLimits {
    int64_t cpuSeconds = 0;  // 0: none
    int64_t memoryBytes = 0; // address space; 0: none (ignored in address sanitizer builds)
    int64_t outputBytes = 0; // largest file the helper may write
};

// Applies limits to the calling process for good. Returns false when one cannot be set.
bool ApplyDecoderLimits(const DecoderLimits& limits);

} // namespace pictavo
