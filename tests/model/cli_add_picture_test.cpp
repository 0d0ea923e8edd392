// clipmoor-cli add-picture: the editor's picture import from the command line.
#include "project_file_bytes.h"

#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::string Fixture(const std::string& name) {
    return std::string(CLIPMOOR_SOURCE_DIR) + "/tests/imaging/fixtures/" + name;
}

std::string Quoted(const std::string& text) {
    return "'" + text + "'";
}

class CliAddPictureTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }

    void SetUp() override {
        // A project with one text object, as a user would have it.
        Project project;
        project.MovieWidth = 320;
        project.MovieHeight = 200;
        AddTextObject(project);
        ASSERT_TRUE(SaveProject(project, projectPath));
        ClearObjects(project);
    }

    // A project loaded back from its file; its objects go with it.
    struct Saved {
        Project project;
        ~Saved() { ClearObjects(project); }
    };

    ScratchFolder folder;
    const std::string projectPath = folder.Path("logo.fmo");
};

TEST_F(CliAddPictureTest, AddsThePictureAsTheEditorDoesWithTheBoxAndTimesGiven) {
    RunResult plain =
        RunCli("add-picture " + Quoted(projectPath) + " " + Quoted(Fixture("pal8.gif")), folder);
    ASSERT_EQ(plain.exitCode, 0) << plain.err;
    RunResult placed =
        RunCli("add-picture " + Quoted(projectPath) + " " + Quoted(Fixture("pal4.png")) +
                   " --box 10,20,110,70 --time 500,2500",
               folder);
    ASSERT_EQ(placed.exitCode, 0) << placed.err;

    // What the editor's command gives for the same files.
    Project expected;
    expected.MovieWidth = 320;
    expected.MovieHeight = 200;
    AddTextObject(expected);
    ASSERT_TRUE(AddPictureFromFile(expected, Fixture("pal8.gif")).object);
    ASSERT_TRUE(AddPictureFromFile(expected, Fixture("pal4.png")).object);

    Saved saved;
    ASSERT_TRUE(LoadProject(saved.project, projectPath));
    ASSERT_EQ(saved.project.Objects.Count(), 3);
    for (int32_t i = 1; i < 3; ++i) {
        SCOPED_TRACE(i);
        const AnimObject& got = saved.project.Objects[i];
        const AnimObject& want = expected.Objects[i];
        EXPECT_EQ(got.Kind, KindPicture);
        ASSERT_EQ(DibWidth(got.Image), DibWidth(want.Image));
        ASSERT_EQ(DibHeight(got.Image), DibHeight(want.Image));
        for (int32_t y = 0; y < DibHeight(got.Image); ++y)
            EXPECT_EQ(std::memcmp(DibRow(got.Image, y), DibRow(want.Image, y),
                                  size_t(DibWidth(got.Image)) * 3),
                      0);
    }
    const AnimObject& plainObject = saved.project.Objects[1];
    EXPECT_EQ(std::memcmp(&plainObject.Start, &expected.Objects[1].Start, sizeof(ObjectState)), 0);
    EXPECT_EQ(std::memcmp(&plainObject.End, &expected.Objects[1].End, sizeof(ObjectState)), 0);
    for (const ObjectState* state :
         {&saved.project.Objects[2].Start, &saved.project.Objects[2].End}) {
        EXPECT_EQ(state->Left, 10);
        EXPECT_EQ(state->Top, 20);
        EXPECT_EQ(state->Right, 110);
        EXPECT_EQ(state->Bottom, 70);
    }
    EXPECT_EQ(saved.project.Objects[2].Start.Time, 500);
    EXPECT_EQ(saved.project.Objects[2].End.Time, 2500);
    ClearObjects(expected);
}

TEST_F(CliAddPictureTest, FailuresSayWhyAndLeaveTheProjectUntouched) {
    std::vector<uint8_t> ninePlanes = ReadFileBytes(Fixture("pal8.iff"));
    const std::string bmhd(ninePlanes.begin(), ninePlanes.end());
    ninePlanes[bmhd.find("BMHD") + 16] = 9;
    WriteFileBytes(folder.Path("nine.iff"), ninePlanes);
    const std::vector<uint8_t> before = ReadFileBytes(projectPath);
    struct Case {
        std::string arguments;
        int exitCode;
        const char* message;
    };
    const Case cases[] = {
        {Quoted(folder.Path("nine.iff")), 1, "Can not open picture!"},
        {Quoted(folder.Path("missing.png")), 1, "Can not open picture!"},
        {Quoted(Fixture("pal8.gif")) + " --box 10,20,5", 2, "--box must be"},
        {Quoted(Fixture("pal8.gif")) + " --time 900,100", 2, "--time must be"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        RunResult run = RunCli("add-picture " + Quoted(projectPath) + " " + c.arguments, folder);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
        EXPECT_EQ(ReadFileBytes(projectPath), before);
    }
    RunResult noProject =
        RunCli("add-picture " + Quoted(folder.Path("none.fmo")) + " " + Quoted(Fixture("pal8.gif")),
               folder);
    EXPECT_EQ(noProject.exitCode, 1);
    EXPECT_NE(noProject.err.find(kCannotOpenFileMessage), std::string::npos) << noProject.err;
}

} // namespace
