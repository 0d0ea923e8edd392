#include "model/project_file.h"
#include "movie_fixture.h"

#include <fstream>
#include <iterator>
#include <stdexcept>
#include <vector>

namespace {

using Names = std::vector<std::string>;

// The width and height in the frame header of a JPEG tag's data.
std::pair<int, int> JpegSize(const SwfTag& tag) {
    const auto& jpeg = tag.body;
    for (size_t i = 6; i + 8 < jpeg.size(); ++i)
        if (jpeg[i] == 0xFF && (jpeg[i + 1] == 0xC0 || jpeg[i + 1] == 0xC2))
            return {jpeg[i + 7] << 8 | jpeg[i + 8], jpeg[i + 5] << 8 | jpeg[i + 6]};
    return {0, 0};
}

class MovieBuilderTest : public MovieFixture {
protected:
    // What the recorder makes: the whole area first, then the boxes that changed, each a
    // noisy picture so that its JPEG takes real work; times 100 ms apart.
    void AddRecording(int32_t frames) {
        uint32_t noise = 12345;
        for (int32_t i = 0; i < frames; ++i) {
            const ChangedBox box = i == 0 ? ChangedBox{0, 0, 319, 239}
                                          : ChangedBox{7 * i % 200, 5 * i % 150,
                                                       7 * i % 200 + 40 + i, 5 * i % 150 + 30};
            DibImage picture{};
            Pictavo().newdib(&picture, box.x1 - box.x0 + 1, box.y1 - box.y0 + 1, 24, nullptr, 0);
            for (int32_t y = 0; y < DibHeight(picture); ++y)
                for (int32_t x = 0; x < DibWidth(picture) * 3; ++x) {
                    noise = noise * 1103515245 + 12345;
                    DibRow(picture, y)[x] = static_cast<uint8_t>(x * i + (noise >> 28));
                }
            AddRecordedFrame(project_, box, 100 * i, picture);
        }
        project_.MovieWidth = 320;
        project_.MovieHeight = 240;
    }

    std::string BuildBytes(int32_t threads, const std::string& name) {
        const Result result = BuildMovie(project_, MoviePath(name), {10, 75, threads});
        EXPECT_TRUE(result.ok) << result.message;
        std::ifstream file(MoviePath(name), std::ios::binary);
        return {std::istreambuf_iterator<char>(file), {}};
    }
};

TEST_F(MovieBuilderTest, EmptyProjectIsOneFrameWithThePointer) {
    SwfFile file = BuildAndRead(5);
    EXPECT_EQ(TagNames(file), (Names{"Background", "Shape#1", "Place d2 c1", "Show"}));
    EXPECT_EQ(file.frameCount, 1);
    EXPECT_EQ(file.frameRate, 5);
    SwfPlacement pointer = ReadPlacement(file.tags[2]);
    EXPECT_EQ(pointer.matrix.tx, 0);
    EXPECT_EQ(pointer.matrix.ty, 0);
    EXPECT_FALSE(pointer.matrix.hasScale);
}

TEST_F(MovieBuilderTest, TextIsRemadeInEveryFrameOfItsAnimation) {
    AnimObject* hi = AddText("Hi", 0, 400);
    hi->End.Left = 50;
    SwfFile file = BuildAndRead(5);
    EXPECT_EQ(TagNames(file),
              (Names{"Background", "Shape#1",
                     // frame 0
                     "Font#2", "FontInfo@2", "Text#4", "Place d2 c4", "Place d3 c1", "Show",
                     // frame 1 (200 ms)
                     "Remove d2", "Text#5", "Place d2 c5", "Remove d3", "Place d4 c1", "Show",
                     // frame 2 (400 ms): the End state, finished
                     "Remove d2", "Text#6", "Place d2 c6", "Remove d4", "Place d5 c1", "Show"}));

    // Placement: rotation 0 gives scale 1.0 and skew 0; translation is the box corner
    // plus half the text width and half the size.
    SwfPlacement first = ReadPlacement(file.tags[5]);
    EXPECT_TRUE(first.matrix.hasScale);
    EXPECT_EQ(first.matrix.scaleX, 65536);
    EXPECT_EQ(first.matrix.skew0, 0);
    EXPECT_EQ(first.matrix.ty, 10 * 20 + 24 * 20 / 2);
    SwfPlacement last = ReadPlacement(file.tags[16]);
    EXPECT_EQ(last.matrix.tx - first.matrix.tx, 40 * 20) << "Left moved 10 -> 50";
}

TEST_F(MovieBuilderTest, RepeatedLettersKeepOneGlyphPerPosition) {
    AddText("AAA", 0, 0);
    SwfFile file = BuildAndRead(5);
    const SwfTag& font = file.tags[2];
    ASSERT_EQ(font.code, 10);
    BitReader reader(font.body, 2);
    EXPECT_EQ(reader.U16(), 6u) << "three glyphs: an offset table of 6 bytes";
    const SwfTag& info = file.tags[3];
    ASSERT_EQ(info.code, 13);
    EXPECT_EQ(std::string(info.body.begin() + 3, info.body.begin() + 8), "Arial");
    EXPECT_EQ(info.body[8], 0x10);
    EXPECT_EQ(std::vector<uint8_t>(info.body.begin() + 9, info.body.end()),
              (std::vector<uint8_t>{65, 65, 65}));
}

// Texts are decoded as the editor shows them, one glyph a character; the code table keeps its
// 8-bit codes while every character has one there, else it lists 16-bit codes.
TEST_F(MovieBuilderTest, EachCharacterOfTheDecodedTextIsOneGlyph) {
    using Bytes = std::vector<uint8_t>;
    const Bytes greets = {'G', 'r', 0xFC, 0xDF, 'e', ' ', 0x80};
    const struct {
        const char* text;
        uint8_t flags;
        Bytes codes;
    } cases[] = {
        {"Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         0x10, greets},
        {"Gr\xFC\xDF"
         "e \x80",
         0x10, greets},
        {"\xCE\xA9\xCE\xB1", 0x01, {0xA9, 0x03, 0xB1, 0x03}}, // Greek
        {"\x81\xFF", 0x01, {0xFD, 0xFF, 0xFF, 0x00}},         // neither: U+FFFD and ÿ
    };
    std::vector<Bytes> fonts;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        ClearObjects(project_);
        AddText(c.text, 0, 0);
        SwfFile file = BuildAndRead(5, "text" + std::to_string(fonts.size()) + ".swf");
        const SwfTag& font = file.tags[2];
        const SwfTag& info = file.tags[3];
        ASSERT_EQ(font.code, 10);
        ASSERT_EQ(info.code, 13);
        const size_t glyphs = c.codes.size() / (c.flags & 1 ? 2 : 1);
        EXPECT_EQ(BitReader(font.body, 2).U16(), 2 * glyphs) << "the offset table";
        EXPECT_EQ(info.body[8], c.flags);
        EXPECT_EQ(Bytes(info.body.begin() + 9, info.body.end()), c.codes);
        fonts.push_back(font.body);
    }
    EXPECT_EQ(fonts[0], fonts[1]) << "both encodings give the same glyphs";
}

TEST_F(MovieBuilderTest, VectorObjectMorphsFromZeroToThousandMilliseconds) {
    AnimObject* box =
        AddVector(ShapeRectangle, BoxState(0, 0, 20, 20, 0), BoxState(50, 50, 90, 90, 1000));
    box->RemoveWhenFinished = true;
    SwfFile alone = BuildAndRead(5);
    EXPECT_EQ(alone.frameCount, 6);
    Names names = TagNames(alone);
    EXPECT_EQ(Names(names.begin() + 2, names.begin() + 6),
              (Names{"Morph#2", "Place d2 c2", "Place d3 c1", "Show"}));
    Names moves;
    for (const auto& name : names)
        if (name.rfind("Move", 0) == 0)
            moves.push_back(name);
    EXPECT_EQ(moves, (Names{"Move d2 r13107", "Move d2 r26214", "Move d2 r39321", "Move d2 r52428",
                            "Move d2 r65535"}));

    // A later object makes the movie longer: the finished box is removed in every frame.
    AddVector(ShapeEllipse, BoxState(0, 0, 10, 10, 1400), BoxState(0, 0, 10, 10, 1400));
    SwfFile longer = BuildAndRead(5, "longer.swf");
    EXPECT_EQ(longer.frameCount, 8);
    int removals = 0;
    for (const auto& name : TagNames(longer))
        removals += name == "Remove d2";
    EXPECT_EQ(removals, 2) << "frames 6 and 7";
}

TEST_F(MovieBuilderTest, ExchangedTimesRunForward) {
    AnimObject* object =
        AddVector(ShapeRectangle, BoxState(0, 0, 20, 20, 1500), BoxState(0, 0, 20, 20, 500));
    SwfFile file = BuildAndRead(5);
    EXPECT_EQ(object->Start.Time, 500);
    EXPECT_EQ(object->End.Time, 1500);
    // 500 ms falls into frame 3 (400 < 500 <= 600).
    Names names = TagNames(file);
    int shows = 0;
    for (const auto& name : names) {
        if (name == "Show")
            ++shows;
        if (name.rfind("Morph", 0) == 0) {
            EXPECT_EQ(shows, 3);
        }
    }
    EXPECT_EQ(file.frameCount, 8); // LastFrame = trunc(5 x 1500 x 0.001) = 7
}

TEST_F(MovieBuilderTest, StartTimeOnAFrameTimeBelongsToThatFrame) {
    AddVector(ShapeRectangle, BoxState(0, 0, 20, 20, 400), BoxState(0, 0, 20, 20, 600));
    SwfFile file = BuildAndRead(5);
    int shows = 0;
    for (const auto& name : TagNames(file)) {
        if (name == "Show")
            ++shows;
        if (name.rfind("Morph", 0) == 0) {
            EXPECT_EQ(shows, 2);
        }
    }
}

TEST_F(MovieBuilderTest, ZeroDurationShowsTheEndStateAtOnce) {
    AddText("x", 200, 200);
    AddVector(ShapeRectangle, BoxState(0, 0, 20, 20, 200), BoxState(5, 5, 30, 30, 200));
    AddPicture(8, 8, BoxState(0, 0, 8, 8, 200), BoxState(0, 0, 16, 16, 200));
    SwfFile file = BuildAndRead(5);
    Names names = TagNames(file);
    // Frame 1 defines all three and moves each to its End state before the frame shows; the
    // objects keep the depths of their list rows, the pointer's lie above them.
    Names frame1(std::find(names.begin(), names.end(), "Show") + 1, names.end());
    frame1.resize(std::find(frame1.begin(), frame1.end(), "Show") - frame1.begin());
    EXPECT_EQ(frame1, (Names{"Font#2", "FontInfo@2", "Text#4", "Place d2 c4", "Remove d2", "Text#5",
                             "Place d2 c5", "Morph#6", "Place d3 c6", "Move d3 r65535", "Jpeg#7",
                             "Shape#8", "Place d4 c8", "Move d4", "Remove d5", "Place d6 c1"}));
}

TEST_F(MovieBuilderTest, PictureIsEncodedAtItsLargestFittedSize) {
    AddPicture(400, 300, BoxState(0, 0, 100, 100, 0), BoxState(0, 0, 200, 200, 1000));
    SwfFile file = BuildAndRead(5);
    ASSERT_EQ(file.tags[2].code, 21);
    EXPECT_EQ(JpegSize(file.tags[2]), std::make_pair(200, 150));

    SwfPlacement place = ReadPlacement(file.tags[4]);
    ASSERT_EQ(file.tags[4].code, 26);
    EXPECT_EQ(place.matrix.scaleX, 32768); // the 100 x 75 start box of a 200 x 150 JPEG
    EXPECT_EQ(place.matrix.tx, 100 * 10);
    EXPECT_EQ(place.matrix.ty, 75 * 10);
}

TEST_F(MovieBuilderTest, PicturesAreEncodedAtTheGivenQualityWhateverTheLibraryHeld) {
    AddPicture(64, 64, BoxState(0, 0, 64, 64, 0), BoxState(0, 0, 64, 64, 0), 40, 160, 220);
    Pictavo().SetJPEGQual(100);
    const auto low = BuildAndRead(5, "low.swf", 10).tags[2].body;
    Pictavo().SetJPEGQual(10);
    EXPECT_EQ(BuildAndRead(5, "low-again.swf", 10).tags[2].body, low);
    EXPECT_NE(BuildAndRead(5, "high.swf", 100).tags[2].body, low);
}

TEST_F(MovieBuilderTest, PicturesWithoutPixelsOrWithEmptyStartBoxes) {
    // A picture without pixels is skipped entirely: no definition, update or removal; its depth
    // stays unused.
    AnimObject* empty = AddPictureObject(project_, DibImage{});
    empty->Start = BoxState(0, 0, 10, 10, 0);
    empty->End = BoxState(0, 0, 10, 10, 400);
    empty->RemoveWhenFinished = true;
    // A start box of zero width is fitted as one pixel wide and does not divide by zero.
    AddPicture(40, 20, BoxState(5, 5, 5, 25, 0), BoxState(5, 5, 45, 25, 400));
    SwfFile file = BuildAndRead(5);
    EXPECT_EQ(TagNames(file), (Names{"Background", "Shape#1", "Jpeg#2", "Shape#3", "Place d3 c3",
                                     "Place d4 c1", "Show", "Move d3", "Remove d4", "Place d5 c1",
                                     "Show", "Move d3", "Remove d5", "Place d6 c1", "Show"}));
    EXPECT_EQ(JpegSize(file.tags[2]), std::make_pair(40, 20));
}

TEST_F(MovieBuilderTest, PointerFollowsTheLastSampleOfEachFrame) {
    const PointerSample samples[] = {{10, 20, 0}, {30, 40, 100}, {50, 60, 150}, {70, 80, 700}};
    for (const auto& sample : samples)
        *project_.PointerTrack.Add() = sample;
    AddVector(ShapeRectangle, BoxState(0, 0, 1, 1, 0), BoxState(0, 0, 1, 1, 800));
    SwfFile file = BuildAndRead(5);
    std::vector<std::pair<int32_t, int32_t>> positions;
    for (const SwfTag& tag : file.tags) {
        if (tag.code != 26)
            continue;
        SwfPlacement p = ReadPlacement(tag);
        if (p.hasCharacter && p.character == 1)
            positions.emplace_back(p.matrix.tx / 20, p.matrix.ty / 20);
    }
    EXPECT_EQ(positions, (std::vector<std::pair<int32_t, int32_t>>{
                             {10, 20}, {50, 60}, {50, 60}, {50, 60}, {70, 80}}));
}

TEST_F(MovieBuilderTest, RectangleDropsTheOddPixelAndFillsOneSide) {
    AddVector(ShapeRectangle, BoxState(10, 10, 51, 31, 0), BoxState(10, 10, 51, 31, 0));
    // An inside-out box (right of left, below of top exchanged) runs the other way round.
    AddVector(ShapeRectangle, BoxState(51, 10, 10, 31, 0), BoxState(51, 10, 10, 31, 0));
    SwfFile file = BuildAndRead(5);
    ASSERT_EQ(file.tags[2].code, 46);
    SwfMorph morph = ReadMorph(file.tags[2]);
    ASSERT_EQ(morph.start.size(), 6u);
    EXPECT_EQ(morph.start[0].kind, 'C');
    EXPECT_EQ(morph.start[0].x, 200);
    EXPECT_EQ(morph.start[0].y, 200);
    EXPECT_TRUE(morph.start[0].hasFill0);
    EXPECT_TRUE(morph.start[0].hasFill1);
    EXPECT_EQ(morph.start[0].fill0, 0u);
    EXPECT_EQ(morph.start[0].fill1, 1u);
    const std::pair<int32_t, int32_t> edges[] = {{800, 0}, {0, 400}, {-800, 0}, {0, -400}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(morph.start[i + 1].kind, 'S');
        EXPECT_EQ(std::make_pair(morph.start[i + 1].x, morph.start[i + 1].y), edges[i]);
    }
    EXPECT_EQ(morph.end.size(), 6u);

    ASSERT_EQ(file.tags[5].code, 46);
    SwfMorph insideOut = ReadMorph(file.tags[5]);
    EXPECT_EQ(insideOut.start[0].fill0, 1u);
    EXPECT_EQ(insideOut.start[0].fill1, 0u);
}

TEST_F(MovieBuilderTest, EllipseIsEightQuadraticEdges) {
    AddVector(ShapeEllipse, BoxState(0, 0, 100, 60, 0), BoxState(0, 0, 100, 60, 0));
    SwfFile file = BuildAndRead(5);
    SwfMorph morph = ReadMorph(file.tags[2]);
    ASSERT_EQ(morph.start.size(), 10u);
    EXPECT_EQ(morph.start[0].x, 707 + 1000);
    EXPECT_EQ(morph.start[0].y, 424 + 600);
    for (int i = 1; i <= 8; ++i)
        EXPECT_EQ(morph.start[i].kind, 'Q');
    EXPECT_EQ(morph.start[1].x, -292);
    EXPECT_EQ(morph.start[1].y, 175);
    EXPECT_EQ(morph.start[1].ax, -414);
}

TEST_F(MovieBuilderTest, LongTextsAndHugePicturesStayReadable) {
    std::string text;
    for (int i = 0; i < 300; ++i)
        text += static_cast<char>('a' + i % 26);
    AddText(text.c_str(), 0, 200);
    // Wider than an edge record holds in twips (3276 pixels).
    AddPicture(4000, 16, BoxState(0, 0, 4000, 16, 0), BoxState(0, 0, 4000, 16, 0));
    BuildAndRead(5);
}

TEST_F(MovieBuilderTest, UnwritableMovieIsReportedAndLeavesNoTemporaryFiles) {
    AddPicture(16, 16, BoxState(0, 0, 16, 16, 0), BoxState(0, 0, 16, 16, 0));
    Result result = BuildMovie(project_, MoviePath("missing/movie.swf"), {5, 75});
    EXPECT_FALSE(result.ok);
    EXPECT_EQ(result.message, "Can not create the file! (The folder does not exist.)");
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp"));
    // The character ids start again at 1 for the next movie.
    SwfFile file = BuildAndRead(5);
    EXPECT_EQ(TagNames(file)[1], "Shape#1");
}

TEST_F(MovieBuilderTest, AnyNumberOfEncodingThreadsMakesTheSameMovie) {
    std::vector<std::filesystem::path> projects;
    for (const auto& entry : std::filesystem::directory_iterator(
             std::filesystem::path(CLIPMOOR_SOURCE_DIR) / "examples"))
        if (entry.path().extension() == ".fmo")
            projects.push_back(entry.path());
    ASSERT_FALSE(projects.empty());
    projects.emplace_back(); // the recording
    for (const std::filesystem::path& path : projects) {
        ClearObjects(project_);
        if (path.empty())
            AddRecording(40);
        else
            ASSERT_TRUE(LoadProject(project_, path.string())) << path;
        const std::string one = BuildBytes(1, "one.swf");
        ASSERT_GT(one.size(), 1000u) << path;
        for (int32_t threads : {2, 8})
            EXPECT_TRUE(BuildBytes(threads, "many.swf") == one) << path << ", " << threads;
        EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp")) << path;
    }
}

TEST_F(MovieBuilderTest, BuildsStoppedHalfwayLeaveNoTemporaryFile) {
    AddRecording(60);
    // A tiny picture in a huge box, shown after frame 20, stops the build there with later
    // pictures queued for encoding.
    AddPicture(1, 1, BoxState(0, 0, 20000, 20000, 2050), BoxState(0, 0, 20000, 20000, 2050));
    // Nothing beside the temporary folder: neither the movie nor the file it was written into.
    const auto besideTmp = [this] {
        return std::distance(std::filesystem::directory_iterator(folder_), {}) - 1;
    };
    for (int32_t threads : {1, 2, 8}) {
        Result failed = BuildMovie(project_, MoviePath(), {10, 75, threads});
        EXPECT_NE(failed.message.find("enlarged more than a movie can express"), std::string::npos)
            << failed.message;
        EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp")) << threads << " threads, failed";
        EXPECT_EQ(besideTmp(), 0);
    }
    DeleteObject(project_, project_.Objects.Count() - 1); // the user cancels instead
    for (int32_t threads : {1, 2, 8}) {
        const auto cancelAt20 = [](int32_t done, int32_t) {
            if (done == 20)
                throw std::runtime_error("cancelled");
        };
        EXPECT_THROW(BuildMovie(project_, MoviePath(), {10, 75, threads}, cancelAt20),
                     std::runtime_error);
        EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp")) << threads << " threads, cancelled";
        EXPECT_EQ(besideTmp(), 0);
    }
}

TEST_F(MovieBuilderTest, MoviesTooLongForTheFormatAreRefused) {
    AddVector(ShapeRectangle, BoxState(0, 0, 1, 1, 0), BoxState(0, 0, 1, 1, 600000));
    Result frames = BuildMovie(project_, MoviePath(), {120, 75});
    EXPECT_EQ(frames.message, kMovieTooManyFramesMessage);

    project_.Objects[0].End.Time = 546117; // 65535 frames fit; their pointers need one depth more
    Result depths = BuildMovie(project_, MoviePath(), {120, 75});
    EXPECT_EQ(depths.message, kMovieTooManyDepthsMessage);
    EXPECT_FALSE(std::filesystem::exists(MoviePath()));

    // Every object of the list holds a depth below the pointer's: 65532 frames fit one object,
    // not three.
    project_.Objects[0].End.Time = 546092;
    AddText("a", 0, 300000);
    AddText("b", 0, 300000);
    EXPECT_EQ(BuildMovie(project_, MoviePath(), {120, 75}).message, kMovieTooManyDepthsMessage);

    // Two texts re-made in every frame need two ids a frame: ids run out first.
    project_.Objects[0].End.Time = 300000;
    int32_t lastProgress = 0;
    Result ids = BuildMovie(project_, MoviePath(), {120, 75},
                            [&](int32_t done, int32_t) { lastProgress = done; });
    EXPECT_EQ(ids.message, kMovieTooManyCharactersMessage);
    EXPECT_LT(lastProgress, 36001);
    EXPECT_FALSE(std::filesystem::exists(MoviePath()));
    EXPECT_EQ(BuildMovie(project_, MoviePath(), {0, 75}).message, kMovieBadFrameRateMessage);
}

TEST_F(MovieBuilderTest, ProgressCountsEveryFrame) {
    AddVector(ShapeRectangle, BoxState(0, 0, 1, 1, 0), BoxState(0, 0, 1, 1, 1000));
    std::vector<std::pair<int32_t, int32_t>> calls;
    ASSERT_TRUE(BuildMovie(project_, MoviePath(), {5, 75},
                           [&](int32_t done, int32_t total) { calls.emplace_back(done, total); }));
    ASSERT_EQ(calls.size(), 6u);
    EXPECT_EQ(calls.front(), std::make_pair(1, 6));
    EXPECT_EQ(calls.back(), std::make_pair(6, 6));
}

TEST_F(MovieBuilderTest, SystemColourReferenceUsesItsLowBytes) {
    AnimObject* box =
        AddVector(ShapeRectangle, BoxState(0, 0, 10, 10, 0), BoxState(0, 0, 10, 10, 0));
    box->Start.Color = static_cast<int32_t>(kSystemColorWindowText);
    box->End.Transparency = 100;
    SwfFile file = BuildAndRead(5);
    const auto& body = file.tags[2].body;
    // After id, two bounds and the offset: fill count 1, type 0, RGBA start, RGBA end.
    size_t fill = body.size();
    for (size_t i = 0; i + 10 < body.size(); ++i)
        if (body[i] == 1 && body[i + 1] == 0 && body[i + 2] == 8) {
            fill = i;
            break;
        }
    ASSERT_LT(fill, body.size());
    EXPECT_EQ(std::vector<uint8_t>(body.begin() + fill + 2, body.begin() + fill + 10),
              (std::vector<uint8_t>{8, 0, 0, 255, 0, 0, 0, 0}));
}

} // namespace
