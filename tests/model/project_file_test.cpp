#include "model/project_file.h"

#include "imaging/pictavo.h"
#include "model/byte_stream.h"
#include "model/project_objects.h"
#include "model/unfinished_files.h"
#include "project_file_bytes.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <future>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

class ProjectFileTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")); }
    void TearDown() override { ClearObjects(project); }

    // A picture whose every byte of every row (padding excluded) is distinct enough to
    // notice a lost row, a swapped order or padding in the file.
    static DibImage PatternPicture(int width, int height, int seed) {
        DibImage image{};
        Pictavo().newdib(&image, width, height, 24, nullptr, 0);
        EXPECT_NE(image.pixels, nullptr);
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width * 3; ++x)
                DibRow(image, y)[x] = static_cast<uint8_t>(seed + 7 * y + x);
        return image;
    }

    void SetText(AnimObject* object, const char* text, const char* font) {
        std::free(object->Text);
        std::free(object->FontName);
        object->Text = strdup(text);
        object->FontName = strdup(font);
    }

    // A project the damaged-file tests expect to find unchanged.
    void FillOpenProject() {
        SetText(AddTextObject(project), "kept", "Liberation Sans");
        project.PointerTrack.Add()->X = 99;
        project.MovieWidth = 640;
        project.MovieHeight = 480;
        project.FramesPerSecond = 12;
        project.Compression = 40;
        SetCurrentFileName(project, "/somewhere/open.fmo");
    }

    void ExpectOpenProjectUnchanged() {
        ASSERT_EQ(project.Objects.Count(), 1);
        EXPECT_STREQ(project.Objects[0].Text, "kept");
        ASSERT_EQ(project.PointerTrack.Count(), 1);
        EXPECT_EQ(project.PointerTrack[0].X, 99);
        EXPECT_EQ(project.MovieWidth, 640);
        EXPECT_EQ(project.MovieHeight, 480);
        EXPECT_EQ(project.FramesPerSecond, 12);
        EXPECT_EQ(project.Compression, 40);
        EXPECT_EQ(project.CurrentFileName, "/somewhere/open.fmo");
    }

    // Saves with files limited to 64 KiB: the write fails half-way, as on a full disk.
    Result SaveAsOnAFullDisk(const std::string& path) {
        struct rlimit saved {};
        getrlimit(RLIMIT_FSIZE, &saved);
        auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 64 * 1024;
        setrlimit(RLIMIT_FSIZE, &small);
        Result result = SaveProject(project, path);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);
        return result;
    }

    Result LoadBytes(const FmoBytes& bytes) {
        std::string path = folder.Path("hand.fmo");
        WriteFileBytes(path, bytes.data);
        return LoadProject(project, path);
    }

    Project project;
    ScratchFolder folder;
};

FmoBytes DefaultTextBlock() {
    FmoBytes block;
    block.ObjectHead(0, 0, "Text", "Arial Black", 1)
        .State(10, 10, 50, 50, 0)
        .State(110, 110, 150, 150, 1000);
    return block;
}

TEST_F(ProjectFileTest, EmptyProjectIs54BytesAndTextBlockIs109) {
    std::string path = folder.Path("empty.fmo");
    ASSERT_TRUE(SaveProject(project, path));
    FmoBytes expected;
    expected.Header(500, 300, 5, 0).U32(25).U32(0);
    EXPECT_EQ(expected.size(), 54u);
    EXPECT_EQ(ReadFileBytes(path), expected.data);
    EXPECT_EQ(project.CurrentFileName, path);

    AddTextObject(project);
    ASSERT_TRUE(SaveProject(project, path));
    FmoBytes block = DefaultTextBlock();
    EXPECT_EQ(block.size(), 109u);
    expected = {};
    expected.Header(500, 300, 5, 1);
    expected.data.insert(expected.data.end(), block.data.begin(), block.data.end());
    expected.U32(25).U32(0);
    EXPECT_EQ(ReadFileBytes(path), expected.data);
}

TEST_F(ProjectFileTest, PictureRowsAreStoredUnpaddedBottomLineFirst) {
    AnimObject* picture = AddPictureObject(project, PatternPicture(3, 2, 1));
    ASSERT_EQ(picture->Image.bytesPerRow, 12);
    std::string path = folder.Path("picture.fmo");
    ASSERT_TRUE(SaveProject(project, path));
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    ASSERT_EQ(bytes.size(), 54u + 109 + 8 + 18);
    const uint8_t* stored = bytes.data() + 46 + 109;
    FmoBytes head;
    head.U32(3).U32(2);
    EXPECT_TRUE(std::equal(head.data.begin(), head.data.end(), stored));
    for (int y = 0; y < 2; ++y)
        EXPECT_EQ(std::memcmp(stored + 8 + y * 9, DibRow(picture->Image, y), 9), 0) << y;
}

TEST_F(ProjectFileTest, EveryKindOfObjectSurvivesSaveAndLoad) {
    SetText(AddTextObject(project), "Hello, world", "DejaVu Serif");
    AnimObject* ellipse = AddVectorObject(project);
    ellipse->Shape = ShapeEllipse;
    ellipse->Start.Rotation = -450;
    ellipse->End.Transparency = 70;
    ellipse->End.Color = 0x00123456;
    ellipse->RemoveWhenFinished = false;
    AddPictureObject(project, PatternPicture(5, 3, 40));
    AddRecordedFrame(project, {2, 3, 8, 3}, 500, PatternPicture(7, 1, 90));
    AddPictureObject(project, PatternPicture(1, 4, 200));
    SetText(AddTextObject(project), "", "");
    AnimObject* button = AddTextObject(project);
    button->Kind = KindButton;
    for (int i = 0; i < 3; ++i)
        *project.PointerTrack.Add() = {i * 3, -i, i * 100};
    project.MovieWidth = 321;
    project.MovieHeight = 123;
    project.FramesPerSecond = 120;
    project.Compression = 85;
    std::string path = folder.Path("all kinds.fmo");
    ASSERT_TRUE(SaveProject(project, path));

    Project loaded;
    Result result = LoadProject(loaded, path);
    ASSERT_TRUE(result) << result.message;
    ASSERT_EQ(loaded.Objects.Count(), project.Objects.Count());
    for (int i = 0; i < project.Objects.Count(); ++i) {
        const AnimObject& a = project.Objects[i];
        const AnimObject& b = loaded.Objects[i];
        EXPECT_EQ(a.Kind, b.Kind) << i;
        EXPECT_EQ(a.Shape, b.Shape) << i;
        EXPECT_STREQ(a.Text, b.Text) << i;
        EXPECT_STREQ(a.FontName, b.FontName) << i;
        EXPECT_EQ(a.RemoveWhenFinished, b.RemoveWhenFinished) << i;
        EXPECT_EQ(std::memcmp(&a.Start, &b.Start, sizeof a.Start), 0) << i;
        EXPECT_EQ(std::memcmp(&a.End, &b.End, sizeof a.End), 0) << i;
        ASSERT_EQ(DibWidth(a.Image), DibWidth(b.Image)) << i;
        ASSERT_EQ(DibHeight(a.Image), DibHeight(b.Image)) << i;
        for (int y = 0; y < DibHeight(a.Image); ++y)
            EXPECT_EQ(std::memcmp(DibRow(a.Image, y), DibRow(b.Image, y), DibWidth(a.Image) * 3), 0)
                << i << " row " << y;
    }
    ASSERT_EQ(loaded.PointerTrack.Count(), 3);
    EXPECT_EQ(loaded.PointerTrack[2].X, 6);
    EXPECT_EQ(loaded.PointerTrack[2].Y, -2);
    EXPECT_EQ(loaded.PointerTrack[2].Time, 200);
    EXPECT_EQ(loaded.MovieWidth, 321);
    EXPECT_EQ(loaded.MovieHeight, 123);
    EXPECT_EQ(loaded.FramesPerSecond, 120);
    EXPECT_EQ(loaded.Compression, 85);
    EXPECT_EQ(WindowTitle(loaded.CurrentFileName), "Vantrel Clipmoor 1.0 - [all kinds.fmo]");

    // Saving what was loaded writes the same bytes.
    std::string again = folder.Path("again.fmo");
    ASSERT_TRUE(SaveProject(loaded, again));
    EXPECT_EQ(ReadFileBytes(again), ReadFileBytes(path));
    ClearObjects(loaded);
}

TEST_F(ProjectFileTest, HandWrittenFileWithButtonAndOutOfRangeSettings) {
    FmoBytes bytes;
    bytes.Header(64, 48, 500, 2)
        .ObjectHead(3, 0, "Go", "Arial", 7)
        .State(1, 2, 3, 4, 0)
        .State(5, 6, 7, 8, 900)
        .ObjectHead(2, 0, "Text", "Arial Black", 0)
        .State(0, 0, 2, 1, 0)
        .State(0, 0, 2, 1, 1000)
        .U32(2)
        .U32(1)
        .Raw("abcdef")
        .U32(300)
        .U32(1)
        .I32(-4)
        .I32(9)
        .I32(33);
    Result result = LoadBytes(bytes);
    ASSERT_TRUE(result) << result.message;
    EXPECT_EQ(project.FramesPerSecond, 120);
    EXPECT_EQ(project.Compression, 100);
    EXPECT_EQ(project.MovieWidth, 64);
    ASSERT_EQ(project.Objects.Count(), 2);
    EXPECT_EQ(project.Objects[0].Kind, KindButton);
    EXPECT_TRUE(project.Objects[0].RemoveWhenFinished);
    EXPECT_EQ(project.Objects[0].End.Time, 900);
    EXPECT_EQ(ObjectListRows(project)[0], "Button: Start");
    EXPECT_EQ(ObjectListRows(project)[1], "  Button: End");
    EXPECT_EQ(std::string(reinterpret_cast<char*>(DibRow(project.Objects[1].Image, 0)), 6),
              "abcdef");
    ASSERT_EQ(project.PointerTrack.Count(), 1);
    EXPECT_EQ(project.PointerTrack[0].X, -4);

    // The button and its flag (stored as 1 now) come back out unchanged otherwise.
    std::string saved = folder.Path("saved.fmo");
    ASSERT_TRUE(SaveProject(project, saved));
    std::vector<uint8_t> expected = bytes.data;
    size_t flagOffset = 46 + 4 + 4 + 4 + 3 + 4 + 6;
    expected[flagOffset] = 1;
    expected[expected.size() - 20] = 100; // compression was brought into its range
    expected[expected.size() - 19] = 0;
    std::vector<uint8_t> written = ReadFileBytes(saved);
    expected[34] = 120; // frames per second likewise
    expected[35] = 0;
    EXPECT_EQ(written, expected);

    FmoBytes slow;
    slow.Header(10, 10, 0, 0).U32(0).U32(0);
    ASSERT_TRUE(LoadBytes(slow));
    EXPECT_EQ(project.FramesPerSecond, 1);
}

TEST_F(ProjectFileTest, TrailingCompressionAndPointerTrackAreOptional) {
    FillOpenProject();
    FmoBytes noTail;
    noTail.Header(100, 80, 5, 0);
    ASSERT_TRUE(LoadBytes(noTail));
    EXPECT_EQ(project.Compression, 25);
    EXPECT_EQ(project.Objects.Count(), 0);
    ASSERT_EQ(project.PointerTrack.Count(), 1);
    EXPECT_EQ(project.PointerTrack[0].X, 99);

    FmoBytes compressionOnly;
    compressionOnly.Header(100, 80, 5, 0).U32(60);
    ASSERT_TRUE(LoadBytes(compressionOnly));
    EXPECT_EQ(project.Compression, 60);
    EXPECT_EQ(project.PointerTrack.Count(), 1);

    FmoBytes emptyTrack;
    emptyTrack.Header(100, 80, 5, 0).U32(60).U32(0);
    ASSERT_TRUE(LoadBytes(emptyTrack));
    EXPECT_EQ(project.PointerTrack.Count(), 0);
}

TEST_F(ProjectFileTest, LoadingLeavesCaptureAreaFontSizeAndProgramFolderAlone) {
    project.Area = {10, 20, 30, 40};
    project.CurrentFontSize = 31;
    project.ProgramFolder = "/opt/clipmoor/";
    FmoBytes bytes;
    bytes.Header(100, 80, 5, 0).U32(25).U32(0);
    ASSERT_TRUE(LoadBytes(bytes));
    EXPECT_EQ(project.Area.Right, 30);
    EXPECT_EQ(project.CurrentFontSize, 31);
    EXPECT_EQ(project.ProgramFolder, "/opt/clipmoor/");
}

TEST_F(ProjectFileTest, FilesThatAreNotProjectsAreRefused) {
    FillOpenProject();
    EXPECT_EQ(LoadProject(project, folder.Path("missing.fmo")).message, kCannotOpenFileMessage);
    EXPECT_EQ(LoadProject(project, folder.path()).message, kCannotOpenFileMessage);

    FmoBytes noZero;
    noZero.Raw("Vantrel Reelcraft-Pro 1.0X").I32(500).I32(300).U32(5).U32(0).U32(0).U32(25).U32(0);
    EXPECT_EQ(LoadBytes(noZero).message, kNotValidFileMessage);
    FmoBytes shortMagic;
    shortMagic.Raw("Vantrel");
    EXPECT_EQ(LoadBytes(shortMagic).message, kNotValidFileMessage);
    ExpectOpenProjectUnchanged();
}

TEST_F(ProjectFileTest, EveryTruncationIsRejectedOrLoadsItsOptionalTail) {
    FmoBytes full;
    full.Header(100, 80, 5, 2);
    FmoBytes text = DefaultTextBlock();
    full.data.insert(full.data.end(), text.data.begin(), text.data.end());
    full.ObjectHead(2, 0, "Text", "Arial Black", 1).State(0, 0, 3, 2, 0).State(0, 0, 3, 2, 1000);
    full.U32(3).U32(2).Raw(std::string(18, '\x5a'));
    size_t objectsEnd = full.size();
    full.U32(50).U32(2).I32(1).I32(2).I32(3).I32(4).I32(5).I32(6);

    FillOpenProject();
    for (size_t length = 26; length < full.size(); ++length) {
        FmoBytes cut;
        cut.data.assign(full.data.begin(), full.data.begin() + static_cast<ptrdiff_t>(length));
        Result result = LoadBytes(cut);
        bool tailOnly = length >= objectsEnd && length < objectsEnd + 8;
        if (tailOnly) {
            ASSERT_TRUE(result) << length << ": " << result.message;
            EXPECT_EQ(project.Objects.Count(), 2);
            EXPECT_EQ(project.PointerTrack.Count(), 1) << length; // the open project's track
            EXPECT_EQ(project.Compression, length >= objectsEnd + 4 ? 50 : 25) << length;
            ClearObjects(project);
            FillOpenProject();
            project.PointerTrack.Clear();
            project.PointerTrack.Add()->X = 99;
        } else {
            EXPECT_EQ(result.message, kDamagedFileMessage) << length;
            ExpectOpenProjectUnchanged();
        }
    }
}

TEST_F(ProjectFileTest, DamagedCountsLengthsAndSizesLeaveTheOpenProjectUntouched) {
    FillOpenProject();
    auto picture = [](uint32_t width, uint32_t height) {
        FmoBytes bytes;
        bytes.Header(100, 80, 5, 1)
            .ObjectHead(2, 0, "Text", "Arial Black", 1)
            .State(0, 0, 1, 1, 0)
            .State(0, 0, 1, 1, 1000)
            .U32(width)
            .U32(height)
            .Raw(std::string(64, '\0'))
            .U32(25)
            .U32(0);
        return bytes;
    };
    std::vector<std::pair<std::string, FmoBytes>> damaged;
    damaged.emplace_back("overflowing picture", picture(0x55555556u, 0x7FFFFFFFu));
    damaged.emplace_back("wide picture", picture(0xFFFFFFFFu, 1));
    damaged.emplace_back("picture larger than the file", picture(100, 100));
    FmoBytes bytes;
    bytes.Header(100, 80, 5, 0xFFFFFFFFu).U32(25).U32(0);
    damaged.emplace_back("object count", bytes);
    bytes = {};
    bytes.Header(100, 80, 5, 0).U32(25).U32(0x20000000u).I32(1).I32(2).I32(3);
    damaged.emplace_back("sample count", bytes);
    bytes = {};
    bytes.Header(100, 80, 5, 1)
        .I32(0)
        .I32(0)
        .U32(0)
        .String("Arial")
        .I32(1)
        .Raw(std::string(72, '\0')) // both states; the rest of the file is sound
        .U32(25)
        .U32(0);
    damaged.emplace_back("zero text length", bytes);
    bytes = {};
    bytes.Header(100, 80, 5, 1).I32(0).I32(0).U32(0x7FFFFFFF).Raw(std::string(100, 'x'));
    damaged.emplace_back("text length", bytes);
    bytes = {};
    bytes.Header(100, 80, 5, 1)
        .I32(0)
        .I32(0)
        .U32(4)
        .Raw("Text")
        .String("Arial")
        .I32(1)
        .Raw(std::string(72, '\0')) // both states; the rest of the file is sound
        .U32(25)
        .U32(0);
    damaged.emplace_back("text without its zero", bytes);
    bytes = {};
    bytes.Header(100, 80, 5, 1)
        .ObjectHead(9, 0, "Text", "Arial", 1)
        .State(0, 0, 1, 1, 0)
        .State(0, 0, 1, 1, 0);
    damaged.emplace_back("unknown kind", bytes);
    bytes = {};
    bytes.Magic().I32(100).I32(80);
    damaged.emplace_back("header cut short", bytes);

    for (const auto& [name, file] : damaged) {
        Result result = LoadBytes(file);
        EXPECT_FALSE(result) << name;
        EXPECT_EQ(result.message, kDamagedFileMessage) << name;
        ExpectOpenProjectUnchanged();
    }
}

// Long rows are read from the file straight into the padded picture rows; a picture larger
// than the read buffer and taller than one batch of rows covers the row that straddles the
// buffer's end, several batches, and everything read after them.
TEST_F(ProjectFileTest, LargePicturesLoadRowByRowIntoPaddedMemory) {
    AddPictureObject(project, PatternPicture(171, 6000, 3)); // 513-byte rows, 3 MB
    AddPictureObject(project, PatternPicture(301, 1500, 5));
    AddPictureObject(project, PatternPicture(2, 3, 9)); // short rows go through the buffer
    *project.PointerTrack.Add() = {7, 8, 9};
    project.Compression = 61;
    std::string path = folder.Path("large.fmo");
    ASSERT_TRUE(SaveProject(project, path));

    Project loaded;
    ASSERT_TRUE(LoadProject(loaded, path));
    ASSERT_EQ(loaded.Objects.Count(), 3);
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const DibImage& saved = project.Objects[i].Image;
        const DibImage& image = loaded.Objects[i].Image;
        ASSERT_EQ(DibWidth(image), DibWidth(saved));
        ASSERT_EQ(DibHeight(image), DibHeight(saved));
        const int rowBytes = DibWidth(image) * 3;
        for (int y = 0; y < DibHeight(image); ++y) {
            ASSERT_EQ(std::memcmp(DibRow(image, y), DibRow(saved, y), rowBytes), 0) << y;
            for (int pad = rowBytes; pad < image.bytesPerRow; ++pad)
                ASSERT_EQ(DibRow(image, y)[pad], 0) << y;
        }
    }
    ASSERT_EQ(loaded.PointerTrack.Count(), 1);
    EXPECT_EQ(loaded.PointerTrack[0].Time, 9);
    EXPECT_EQ(loaded.Compression, 61);
    ClearObjects(loaded);

    // Cut inside the first picture's direct rows, inside a row, and inside the second's.
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    ClearObjects(project);
    project.PointerTrack.Clear();
    FillOpenProject();
    for (size_t cut : {size_t{2} << 20, (size_t{2} << 20) + 100, bytes.size() - 20000}) {
        std::vector<uint8_t> shorter(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut));
        WriteFileBytes(path, shorter);
        EXPECT_EQ(LoadProject(project, path).message, kDamagedFileMessage) << cut;
        ExpectOpenProjectUnchanged();
    }
}

TEST_F(ProjectFileTest, EmptyPictureIsKeptWithoutRows) {
    FmoBytes bytes;
    bytes.Header(100, 80, 5, 1)
        .ObjectHead(2, 0, "Text", "Arial Black", 1)
        .State(0, 0, 1, 1, 0)
        .State(0, 0, 1, 1, 1000)
        .U32(0)
        .U32(0)
        .U32(25)
        .U32(0);
    ASSERT_TRUE(LoadBytes(bytes));
    ASSERT_EQ(project.Objects.Count(), 1);
    EXPECT_EQ(project.Objects[0].Image.pixels, nullptr);
    std::string saved = folder.Path("saved.fmo");
    ASSERT_TRUE(SaveProject(project, saved));
    EXPECT_EQ(ReadFileBytes(saved), bytes.data);
}

TEST_F(ProjectFileTest, FailedSaveKeepsTheOldFileAndTitle) {
    std::string path = folder.Path("work.fmo");
    SetText(AddTextObject(project), "first", "Arial");
    ASSERT_TRUE(SaveProject(project, path));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    std::vector<uint8_t> firstVersion = ReadFileBytes(path);
    SetCurrentFileName(project, "/elsewhere/title.fmo");

    // A write that fails half-way (as on a full disk) must not touch the old file.
    AddPictureObject(project, PatternPicture(300, 300, 3));
    Result result = SaveAsOnAFullDisk(path);
    EXPECT_EQ(result.message,
              CannotCreateFileMessage(FileErrorReason(EFBIG) + " " + kPreviousFileKeptNote));

    EXPECT_EQ(ReadFileBytes(path), firstVersion);
    EXPECT_EQ(project.CurrentFileName, "/elsewhere/title.fmo");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"work.fmo"}); // no temporary left

    ASSERT_TRUE(SaveProject(project, path));
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_GT(info.st_size, 300 * 300 * 3);
    EXPECT_EQ(project.CurrentFileName, path);
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"work.fmo"});
}

TEST_F(ProjectFileTest, SavesThatCannotWorkSayWhyBeforeAndAfterTheWrite) {
    SetText(AddTextObject(project), "first", "Arial");
    const std::string readOnly = folder.Path("read-only.fmo");
    ASSERT_TRUE(SaveProject(project, readOnly));
    ASSERT_EQ(chmod(readOnly.c_str(), 0444), 0);
    const std::vector<uint8_t> kept = ReadFileBytes(readOnly);
    // The superuser writes into any folder but one the system keeps read-only.
    const std::string lockedFolder = folder.Path("locked");
    mkdir(lockedFolder.c_str(), 0555);
    const std::string inLockedFolder =
        getuid() == 0 ? "/sys/clipmoor-save-test.fmo" : lockedFolder + "/work.fmo";
    const struct {
        std::string path;
        std::string reason;
    } cases[] = {
        {folder.Path("no such folder/work.fmo"), "The folder does not exist."},
        {folder.path(), "A folder has this name."},
        {folder.Path(std::string(300, 'n') + ".fmo"), "The name is too long."},
        {readOnly + "/work.fmo", "A part of the path is a file, not a folder."},
        {readOnly, kReadOnlyFileReason},
        {inLockedFolder, "You may not write to this folder."},
    };
    SetCurrentFileName(project, "/elsewhere/title.fmo");
    for (const auto& c : cases) {
        EXPECT_EQ(CheckProjectCanBeSaved(c.path).message, CannotCreateFileMessage(c.reason))
            << c.path;
        EXPECT_EQ(SaveProject(project, c.path).message, CannotCreateFileMessage(c.reason))
            << c.path;
    }
    EXPECT_EQ(ReadFileBytes(readOnly), kept);
    EXPECT_EQ(project.CurrentFileName, "/elsewhere/title.fmo");
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"locked", "read-only.fmo"}));

    // A trial leaves nothing behind.
    EXPECT_TRUE(CheckProjectCanBeSaved(folder.Path("new.fmo")));
    EXPECT_EQ(folder.Names(), (std::vector<std::string>{"locked", "read-only.fmo"}));

    // A failed write of a new file has no previous file to keep.
    AddPictureObject(project, PatternPicture(300, 300, 3));
    Result result = SaveAsOnAFullDisk(folder.Path("new.fmo"));
    EXPECT_EQ(result.message, CannotCreateFileMessage(FileErrorReason(EFBIG)));
}

TEST_F(ProjectFileTest, SavingThroughSymbolicLinksWritesWhatTheyPointTo) {
    namespace fs = std::filesystem;
    SetText(AddTextObject(project), "linked", "Arial");
    fs::create_directories(folder.Path("real"));
    const struct {
        std::string link;
        std::string pointsTo; // relative links count from the link's folder
        std::string target;
    } cases[] = {
        {folder.Path("absolute.fmo"), folder.Path("real/a.fmo"), folder.Path("real/a.fmo")},
        {folder.Path("relative.fmo"), "real/b.fmo", folder.Path("real/b.fmo")},
        {folder.Path("real/chain.fmo"), "../relative.fmo", folder.Path("real/b.fmo")},
        {folder.Path("dangling.fmo"), "real/new.fmo", folder.Path("real/new.fmo")},
    };
    for (const auto& c : cases) {
        fs::create_symlink(c.pointsTo, c.link);
        ASSERT_TRUE(SaveProject(project, c.link)) << c.link;
        EXPECT_TRUE(fs::is_symlink(c.link)) << c.link;
        EXPECT_EQ(fs::read_symlink(c.link), c.pointsTo);
        EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(c.target))) << c.target;
        Project loaded;
        ASSERT_TRUE(LoadProject(loaded, c.target)) << c.target;
        EXPECT_STREQ(loaded.Objects[0].Text, "linked");
        ClearObjects(loaded);
    }
    fs::create_symlink("loop-b.fmo", folder.Path("loop-a.fmo"));
    fs::create_symlink("loop-a.fmo", folder.Path("loop-b.fmo"));
    EXPECT_EQ(SaveProject(project, folder.Path("loop-a.fmo")).message,
              CannotCreateFileMessage(FileErrorReason(ELOOP)));
}

TEST_F(ProjectFileTest, OpeningAPipeNamedLikeAProjectDoesNotWait) {
    const std::string pipe = folder.Path("pipe.fmo");
    ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
    auto loading = std::async(std::launch::async, [&] { return LoadProject(project, pipe); });
    if (loading.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
        close(open(pipe.c_str(), O_WRONLY | O_NONBLOCK)); // lets the stuck open return
        FAIL() << "opening the pipe waited for a writer";
    }
    EXPECT_EQ(loading.get().message, kCannotOpenFileMessage);
}

TEST_F(ProjectFileTest, ASaveEndedBySignalRemovesItsTemporaryFile) {
    for (int signalNumber : {SIGINT, SIGTERM, SIGHUP}) {
        pid_t child = fork();
        if (child == 0) {
            RemoveUnfinishedFilesOnSignals();
            auto writer = FileWriter::CreateReplacing(folder.Path("cut.fmo"));
            std::vector<uint8_t> bytes(4 << 20, 7);
            writer->Write(bytes.data(), bytes.size());
            raise(signalNumber);
            _exit(0);
        }
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signalNumber) << signalNumber;
        EXPECT_TRUE(folder.Names().empty()) << signalNumber;
    }
}

} // namespace
