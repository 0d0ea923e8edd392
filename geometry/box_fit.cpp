#include "geometry/box_fit.h"

#include <algorithm>
#include <limits>

BoxSize FitToPicture(int64_t width, int64_t height, int32_t pictureWidth, int32_t pictureHeight) {
    if (pictureWidth <= 0 || pictureHeight <= 0)
        return {width, height};
    if (int64_t{pictureHeight} * width / pictureWidth > height)
        return {int64_t{pictureWidth} * height / pictureHeight, height};
    return {width, int64_t{pictureHeight} * width / pictureWidth};
}

int32_t Clamp32(int64_t value) {
    return static_cast<int32_t>(std::clamp<int64_t>(value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}
