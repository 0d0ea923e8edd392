// Drawing a 24-bit picture turned by a rotation straight into the pixels of an image.
#pragma once

#include "imaging/dib_image.h"

#include <cstddef>
#include <cstdint>

// 32-bit pixels 0xAARRGGBB (QImage::Format_RGB32 or ARGB32), rows top-down.
struct PixelTarget {
    uint32_t* bits;
    int32_t width;
    int32_t height;
    ptrdiff_t stride;    // bytes per row
    int32_t originX = 0; // where bits[0] lies in the coordinates of the boxes
    int32_t originY = 0;
};

struct PictureBox {
    int32_t left, top, right, bottom;
};

// The part of the box (left, top) .. (right, bottom) that keeps the picture's aspect
// ratio, by the movie's rule: the box shrinks along one axis and stays anchored at its top
// left corner.
PictureBox FitPictureBox(int32_t left, int32_t top, int32_t right, int32_t bottom,
                         int32_t pictureWidth, int32_t pictureHeight);

// Draws the picture stretched into the box, turned by `rotation` (tenths of a degree; whole
// degrees count) about the box's centre. Every target pixel is mapped back into the picture;
// pixels whose source lies outside it keep their colour. Only 24-bit pictures are drawn.
void DrawRotatedPicture(const PixelTarget& target, const DibImage& picture, const PictureBox& box,
                        int32_t rotation);
