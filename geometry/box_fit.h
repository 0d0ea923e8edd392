// Box arithmetic shared by the movie and the preview: the rule that fits a picture into its
// box, and 64-bit results kept within 32-bit fields.
#pragma once

#include <cstdint>

struct BoxSize {
    int64_t width;
    int64_t height;
};

// The largest box of the picture's aspect ratio inside width x height: one side stays, the
// other shrinks (divisions truncate toward zero). A picture without pixels leaves the box.
BoxSize FitToPicture(int64_t width, int64_t height, int32_t pictureWidth, int32_t pictureHeight);

// value, limited to the range of int32_t.
int32_t Clamp32(int64_t value);
