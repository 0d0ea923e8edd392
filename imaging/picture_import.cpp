#include "imaging/picture_import.h"

#include "imaging/convert_to_24.h"
#include "imaging/pictavo.h"

PictureImport ImportPictureFile(const std::string& fileName, void* owner) {
    PictureImport result;
    if (!PictavoLoaded()) {
        result.error = kCannotOpenPicture;
        return result;
    }
    DibImage opened{};
    Pictavo().OpenDib(&opened, fileName.c_str(), 0, owner);
    if (!opened.pixels) {
        result.error = kCannotOpenPicture;
        return result;
    }
    if (!ConvertTo24(opened)) {
        Pictavo().deldib(opened);
        result.error = kCannotChangeColorDepth;
        return result;
    }
    result.image = opened;
    return result;
}
