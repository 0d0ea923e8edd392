#include "imaging/pictavo.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// The tests run in one order: failures first, while nothing is bound yet.
TEST(PictavoLoaderTest, MissingOrIncompleteLibrariesBindNothing) {
    EXPECT_FALSE(LoadPictavo(std::string(CLIPMOOR_BINARY_DIR) + "/no-such-folder/"));
    EXPECT_FALSE(PictavoLoaded());
    EXPECT_FALSE(LoadPictavo(INCOMPLETE_PICTAVO_DIR "/")); // has no SetJPEGQual
    EXPECT_FALSE(PictavoLoaded());
    EXPECT_EQ(Pictavo().OpenDib, nullptr);
    EXPECT_EQ(Pictavo().newdib, nullptr);
    EXPECT_STREQ(kPictavoLoadError, "Could not load file Pictavo.DLL");
}

TEST(PictavoLoaderTest, TheProgramFolderLibraryBindsEveryEntryPoint) {
    ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR)); // the trailing '/' may be missing
    ASSERT_TRUE(PictavoLoaded());
    const PictavoLibrary& lib = Pictavo();
    EXPECT_TRUE(lib.OpenDib && lib.deldib && lib.SaveDib && lib.newdib && lib.SetJPEGQual &&
                lib.getpixel && lib.setpixel);

    // Before any SetJPEGQual the library writes at quality 75.
    DibImage image{};
    lib.newdib(&image, 40, 30, 24, nullptr, 0);
    ASSERT_NE(image.pixels, nullptr);
    for (int i = 0; i < image.bytesPerRow * 30; ++i)
        image.pixels[i] = static_cast<uint8_t>(i * 7);
    auto saveAndRead = [&](const std::string& name) {
        const std::string path = std::string(CLIPMOOR_BINARY_DIR) + "/tests/" + name;
        EXPECT_NE(lib.SaveDib(image, path.c_str(), kDibFormatJpeg, nullptr), 0);
        std::ifstream file(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(file)), {});
    };
    const std::string atDefault = saveAndRead("loader-default.jpg");
    lib.SetJPEGQual(75);
    EXPECT_EQ(saveAndRead("loader-75.jpg"), atDefault);
    lib.SetJPEGQual(30);
    EXPECT_NE(saveAndRead("loader-30.jpg"), atDefault);
    lib.deldib(image);

    // A later failed load keeps what is bound.
    EXPECT_FALSE(LoadPictavo(INCOMPLETE_PICTAVO_DIR "/"));
    EXPECT_TRUE(PictavoLoaded());
    EXPECT_EQ(Pictavo().SetJPEGQual, lib.SetJPEGQual);
}

} // namespace
