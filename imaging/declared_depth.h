// The palette depth a picture file declares in its own header.
#pragma once

#include <cstddef>
#include <cstdint>

namespace pictavo {

// 1, 4 or 8 for palette pictures whose header says how many bits an index has (BMP bit
// count, PCX bits and planes, GIF and PNG palette sizes, IFF bit planes); 0 when the file
// declares nothing usable. 2-bit files count as 4-bit, the next depth a DIB has.
int DeclaredPaletteDepth(const uint8_t* data, size_t size);

} // namespace pictavo
