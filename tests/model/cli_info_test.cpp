// Runs the built clipmoor-cli on project files and reads what it prints.
#include "project_file_bytes.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(CliInfoTest, PrintsSettingsObjectsAndPointerSamples) {
    ScratchFolder folder;
    FmoBytes bytes;
    bytes.Header(640, 360, 15, 2)
        .ObjectHead(0, 0, "Welcome", "DejaVu Sans", 1)
        .State(10, 20, 50, 60, 0)
        .I32(110)
        .I32(120)
        .I32(150)
        .I32(160)
        .I32(30)
        .I32(-450)
        .I32(1500)
        .I32(40)
        .U32(0x00336699)
        .ObjectHead(2, 0, "Text", "Arial Black", 0)
        .State(1, 1, 4, 3, 200)
        .State(1, 1, 4, 3, 1200)
        .U32(3)
        .U32(2)
        .Raw(std::string(18, '\x10'))
        .U32(35)
        .U32(2)
        .I32(1)
        .I32(2)
        .I32(0)
        .I32(3)
        .I32(4)
        .I32(40);
    std::string path = folder.Path("tour.fmo");
    WriteFileBytes(path, bytes.data);

    RunResult run = RunCli("info '" + path + "'", folder);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::string> expectedLines = {
        "Movie size: 640 x 360 pixels",
        "Frames per second: 15",
        "Compression: 35 (JPEG quality 65)",
        "Objects: 2",
        "  0: Text 'Welcome', font 'DejaVu Sans', removed when finished",
        "    Start: box (10, 20)-(50, 60), 40 x 40, time 0 ms, font size 24, rotation 0.0 "
        "degrees, transparency 0%, colour system colour 8",
        "    End  : box (110, 120)-(150, 160), 40 x 40, time 1500 ms, font size 30, rotation "
        "-45.0 degrees, transparency 40%, colour #996633",
        "  1: Picture, font 'Arial Black', stays when finished",
        "    Picture: 3 x 2 pixels",
        "Pointer samples: 2",
    };
    for (const std::string& line : expectedLines)
        EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << line << "\nin:\n" << run.out;
}

TEST(CliInfoTest, BadFilesPrintTheWindowsMessageAndFail) {
    ScratchFolder folder;
    RunResult missing = RunCli("info '" + folder.Path("none.fmo") + "'", folder);
    EXPECT_NE(missing.exitCode, 0);
    EXPECT_EQ(missing.err, "Can not open the file!\n");

    FmoBytes notProject;
    notProject.Raw("GIF89a and some more bytes of a picture");
    WriteFileBytes(folder.Path("picture.fmo"), notProject.data);
    RunResult invalid = RunCli("info '" + folder.Path("picture.fmo") + "'", folder);
    EXPECT_NE(invalid.exitCode, 0);
    EXPECT_EQ(invalid.err, "This is not a valid Clipmoor file.\n");
    EXPECT_EQ(invalid.out, "");

    FmoBytes truncated;
    truncated.Header(640, 360, 15, 3).ObjectHead(0, 0, "Cut", "Arial", 1);
    WriteFileBytes(folder.Path("cut.fmo"), truncated.data);
    RunResult damaged = RunCli("info '" + folder.Path("cut.fmo") + "'", folder);
    EXPECT_NE(damaged.exitCode, 0);
    EXPECT_NE(damaged.err.find("damaged"), std::string::npos) << damaged.err;

    EXPECT_NE(RunCli("info", folder).exitCode, 0);
}

} // namespace
