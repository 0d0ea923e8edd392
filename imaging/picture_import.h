// Reading a picture file for a new Picture object: shared by the editor and the
// command-line program.
#pragma once

#include "imaging/dib_image.h"

#include <string>

inline constexpr const char* kCannotOpenPicture = "Can not open picture!";
inline constexpr const char* kCannotChangeColorDepth = "Can not change color depth!";

struct PictureImport {
    DibImage image{};            // 24 bits per pixel on success; the caller owns it then
    const char* error = nullptr; // one of the two texts above on failure
    bool ok() const { return error == nullptr; }
};

// Opens fileName with the loaded image library and converts it to 24 bits per pixel. On
// failure nothing is kept: the result holds no picture, only the message to show.
PictureImport ImportPictureFile(const std::string& fileName, void* owner = nullptr);
