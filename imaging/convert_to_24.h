// Turning any picture of the image library into 24 bits per pixel.
#pragma once

#include "imaging/dib_image.h"

// Converts image in place to a 24-bit picture (blue, green, red; rows keep their order) and
// releases the old pixels. 1-bit pictures become black and white whatever their palette
// (index 0 black, any other white); 4- and 8-bit pictures take their logical palette's
// colours; 16-bit pixels are 5-5-5; 32-bit pixels are put over a white background by their
// alpha. 24-bit pictures stay as they are. Returns false, leaving image untouched, when the
// depth is unknown or no new picture can be made. Needs the loaded image library.
bool ConvertTo24(DibImage& image);
