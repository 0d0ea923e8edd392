// A Project with helpers to add objects, build its movie and read the result.
#pragma once

#include "imaging/pictavo.h"
#include "model/project.h"
#include "model/project_objects.h"
#include "movie/movie_builder.h"
#include "swf_reader.h"
#include "tests/support/object_state.h"
#include "tests/support/swf_check.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <unistd.h>

class MovieFixture : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }

    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("clipmoor-movie-test-" + std::to_string(getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_ / "tmp");
        // Temporary JPEG files go to a folder of our own so that leftovers can be seen.
        setenv("TMPDIR", (folder_ / "tmp").c_str(), 1);
    }
    void TearDown() override {
        ClearObjects(project_);
        unsetenv("TMPDIR");
        std::filesystem::remove_all(folder_);
    }

    AnimObject* AddText(const char* text, int32_t startTime, int32_t endTime,
                        const char* font = "Arial") {
        AnimObject* object = AddTextObject(project_);
        std::free(object->Text);
        std::free(object->FontName);
        object->Text = strdup(text);
        object->FontName = strdup(font);
        object->Start = BoxState(10, 10, 200, 60, startTime);
        object->End = BoxState(10, 10, 200, 60, endTime);
        return object;
    }

    AnimObject* AddVector(int32_t shape, ObjectState start, ObjectState end) {
        AnimObject* object = AddVectorObject(project_);
        object->Shape = shape;
        object->Start = start;
        object->End = end;
        return object;
    }

    // A 24-bit picture filled with one colour (blue, green, red bytes).
    static DibImage SolidPicture(int32_t width, int32_t height, uint8_t b, uint8_t g, uint8_t r) {
        DibImage image{};
        Pictavo().newdib(&image, width, height, 24, nullptr, 0);
        for (int32_t y = 0; y < height; ++y) {
            uint8_t* row = DibRow(image, y);
            for (int32_t x = 0; x < width; ++x) {
                row[3 * x] = b;
                row[3 * x + 1] = g;
                row[3 * x + 2] = r;
            }
        }
        return image;
    }

    AnimObject* AddPicture(int32_t width, int32_t height, ObjectState start, ObjectState end,
                           uint8_t b = 0, uint8_t g = 0, uint8_t r = 255) {
        AnimObject* object = AddPictureObject(project_, SolidPicture(width, height, b, g, r));
        object->Start = start;
        object->End = end;
        return object;
    }

    std::string MoviePath(const std::string& name = "movie.swf") const {
        return (folder_ / name).string();
    }

    // Builds, checks that it worked and that the independent parser reads the movie.
    SwfFile BuildAndRead(double fps, const std::string& name = "movie.swf", int32_t quality = 75) {
        Result result = BuildMovie(project_, MoviePath(name), {fps, quality});
        EXPECT_TRUE(result.ok) << result.message;
        EXPECT_TRUE(IndependentParserAccepts(MoviePath(name)));
        EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp")) << "temporary files left";
        SwfFile file = ReadSwf(MoviePath(name));
        EXPECT_TRUE(file.valid);
        EXPECT_EQ(file.fileLength, file.actualLength);
        return file;
    }

    Project project_;
    std::filesystem::path folder_;
};
