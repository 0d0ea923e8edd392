#include "tests/support/swf_check.h"
#include "tests/swf/swf_test_util.h"
#include "tests/swf/tiny_jpeg.h"

#include <csignal>
#include <sys/resource.h>

using ContainerTest = SwfTest;

TEST_F(ContainerTest, EmptyMovieIsHeaderAndEndTag) {
    FObjCollection movie;
    const std::string path = PathOf("empty.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 2000, 1000, 12));
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(ToHex(bytes),
              "46 57 53 04 18 00 00 00 88 00 00 0F A0 00 00 01 F4 00 00 0C 00 00 00 00");
    EXPECT_TRUE(IndependentParserAccepts(path));
}

TEST_F(ContainerTest, BackgroundAndOneFrameIsTheKnown31Bytes) {
    FObjCollection movie;
    movie.Add(new FCTSetBackgroundColor(new FColor(255, 255, 255)));
    movie.Add(new FCTShowFrame);
    const std::string path = PathOf("white.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 2000, 1000, 5));
    EXPECT_EQ(ToHex(ReadFileBytes(path)), "46 57 53 04 1F 00 00 00 88 00 00 0F A0 00 00 01 F4 00 "
                                          "00 05 01 00 43 02 FF FF FF 40 00 00 00");
    EXPECT_TRUE(IndependentParserAccepts(path));

    // Writing does not use up the tags: the same movie can be written again.
    const std::string again = PathOf("again.swf");
    ASSERT_TRUE(movie.WriteMovie(again.c_str(), 2000, 1000, 5));
    EXPECT_EQ(ReadFileBytes(again), ReadFileBytes(path));
}

TEST_F(ContainerTest, FramesAreCountedWhereverShowFrameStands) {
    FObjCollection movie;
    movie.Add(new FCTShowFrame);
    movie.Add(new FCTSetBackgroundColor(new FColor(0, 0, 0)));
    movie.Add(new FCTShowFrame);
    movie.Add(new FCTRemoveObject2(2));
    movie.Add(new FCTShowFrame);
    EXPECT_EQ(movie.FrameCount(), 3u);
    const std::string path = PathOf("frames.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 20, 20, 1));
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    EXPECT_EQ(bytes[20] | bytes[21] << 8, 3);
    EXPECT_TRUE(IndependentParserAccepts(path));
}

TEST_F(ContainerTest, FileLengthCountsReferencedJpegBlocks) {
    FObjCollection movie;
    auto* jpeg = new FDTDefineBitsJPEG2(kTinyJpeg, sizeof kTinyJpeg);
    movie.Add(jpeg);
    movie.Add(new FCTShowFrame);
    const std::string path = PathOf("jpeg.swf");
    ASSERT_TRUE(movie.WriteMovie(path.c_str(), 320, 160, 5));
    const std::vector<uint8_t> bytes = ReadFileBytes(path);
    const uint32_t declared = bytes[4] | bytes[5] << 8 | bytes[6] << 16 | bytes[7] << 24;
    EXPECT_EQ(declared, bytes.size());
    EXPECT_EQ(bytes.size(), 22 + 6 + 8 + sizeof kTinyJpeg + 2 + 2);
    EXPECT_TRUE(IndependentParserAccepts(path));
}

TEST_F(ContainerTest, CharacterIdsRestartForEveryWrittenMovie) {
    for (int round = 0; round < 2; ++round) {
        FObjCollection movie;
        auto* shape = new FDTDefineShape(new FRect(0, 0, 20, 20));
        auto* font = new FDTDefineFont;
        EXPECT_EQ(shape->CharacterId(), 1);
        EXPECT_EQ(font->CharacterId(), 2);
        movie.Add(shape);
        delete font;
        const std::string path = PathOf("ids.swf");
        ASSERT_TRUE(movie.WriteMovie(path.c_str(), 20, 20, 5));
    }
}

TEST_F(ContainerTest, FailedOpenWritesNothingAndKeepsTheCounter) {
    FObjCollection movie;
    delete new FDTDefineShape(new FRect(0, 0, 1, 1));
    movie.Add(new FCTShowFrame);
    const std::string path = PathOf("no-such-folder/movie.swf");
    EXPECT_FALSE(movie.WriteMovie(path.c_str(), 20, 20, 5));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(NextCharacterId(), 2) << "the counter only restarts once the file could be created";
}

TEST_F(ContainerTest, FailedWriteIsReportedAndLeavesNoFile) {
    // A file size limit below the movie's size makes the writes fail part way.
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = 100;
    auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    FObjCollection movie;
    movie.Add(new FDTDefineBitsJPEG2(kTinyJpeg, sizeof kTinyJpeg));
    const std::string path = PathOf("partial.swf");
    const bool written = movie.WriteMovie(path.c_str(), 20, 20, 5);

    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);
    EXPECT_FALSE(written);
    EXPECT_FALSE(std::filesystem::exists(path)) << "a truncated movie must not be left behind";
}

TEST_F(ContainerTest, FrameSizeKeeps17BitFieldsAndGrowsOnlyWhenNeeded) {
    FObjCollection fits;
    const std::string fitsPath = PathOf("fits.swf");
    ASSERT_TRUE(fits.WriteMovie(fitsPath.c_str(), 65535, 65535, 5));
    const std::vector<uint8_t> fitsBytes = ReadFileBytes(fitsPath);
    EXPECT_EQ(fitsBytes[8] >> 3, 17);
    EXPECT_EQ(fitsBytes.size(), 24u);
    EXPECT_TRUE(IndependentParserAccepts(fitsPath));

    // A whole 4K screen: 3840 x 2160 pixels, 76,800 x 43,200 twips.
    FObjCollection screen;
    screen.Add(new FCTShowFrame);
    const std::string path = PathOf("4k.swf");
    ASSERT_TRUE(screen.WriteMovie(path.c_str(), 76800, 43200, 30));
    std::string json;
    ASSERT_TRUE(IndependentParserSummary(path, json));
    EXPECT_NE(json.find("\"xMax\":76800"), std::string::npos) << json;
    EXPECT_NE(json.find("\"yMax\":43200"), std::string::npos) << json;
    EXPECT_EQ(ReadFileBytes(path)[8] >> 3, 18);
}

TEST_F(ContainerTest, RefusesMoviesBeyondTheSixteenBitLimits) {
    {
        FObjCollection movie;
        for (uint32_t i = 0; i < 65535; ++i) {
            movie.Add(new FCTShowFrame);
        }
        EXPECT_FALSE(movie.ExceedsFormatLimits());
        movie.Add(new FCTShowFrame);
        EXPECT_TRUE(movie.ExceedsFormatLimits());
        const std::string path = PathOf("frames.swf");
        EXPECT_FALSE(movie.WriteMovie(path.c_str(), 20, 20, 5));
        EXPECT_FALSE(std::filesystem::exists(path));
    }
    {
        FObjCollection movie;
        for (uint32_t i = 0; i < 65534; ++i) {
            NextCharacterId();
        }
        movie.Add(new FDTDefineBitsJPEG2(kTinyJpeg, sizeof kTinyJpeg)); // id 65535, the last
        EXPECT_EQ(static_cast<FDT*>(movie.Tags().back())->CharacterId(), 65535);
        EXPECT_FALSE(movie.ExceedsFormatLimits());
        movie.Add(new FDTDefineBitsJPEG2(kTinyJpeg, sizeof kTinyJpeg)); // would wrap to 0
        EXPECT_TRUE(movie.ExceedsFormatLimits());
        const std::string path = PathOf("ids.swf");
        EXPECT_FALSE(movie.WriteMovie(path.c_str(), 20, 20, 5));
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_EQ(NextCharacterId(), 1) << "a refused movie frees the ids for the next one";
    }
}

TEST_F(ContainerTest, RefusesFrameRatesAndSizesTheHeaderCannotHold) {
    FObjCollection movie;
    const std::string path = PathOf("rate.swf");
    EXPECT_FALSE(movie.WriteMovie(path.c_str(), 20, 20, 256));
    EXPECT_FALSE(movie.WriteMovie(path.c_str(), 0x40000000, 20, 5));
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_TRUE(movie.WriteMovie(path.c_str(), 20, 20, 255));
}

TEST_F(ContainerTest, StreamedMovieIsTheWrittenMovieOnceItsHeaderIsPut) {
    const auto addTags = [](auto& movie) {
        movie.Add(new FCTSetBackgroundColor(new FColor(1, 2, 3)));
        movie.Add(new FDTDefineBitsJPEG2(kTinyJpeg, sizeof kTinyJpeg));
        movie.Add(new FCTShowFrame);
        movie.Add(new FCTShowFrame);
    };
    FObjCollection whole;
    addTags(whole);
    const std::string path = PathOf("whole.swf");
    ASSERT_TRUE(whole.WriteMovie(path.c_str(), 76800, 43200, 30));

    std::vector<uint8_t> streamed;
    const FByteSink collect = [&streamed](const uint8_t* data, size_t size) {
        streamed.insert(streamed.end(), data, data + size);
        return true;
    };
    FMovieStream stream(collect, 76800, 43200, 30);
    addTags(stream);
    std::vector<uint8_t> header;
    ASSERT_EQ(stream.Finish(header), FMovieWrite::Written);
    ASSERT_LE(header.size(), streamed.size());
    std::copy(header.begin(), header.end(), streamed.begin());
    EXPECT_EQ(streamed, ReadFileBytes(path));

    EXPECT_EQ(FMovieStream(collect, 20, 20, 256).State(), FMovieWrite::Refused);
    FMovieStream tooLong(collect, 20, 20, 5);
    for (uint32_t i = 0; i <= kMaxMovieFrames; ++i)
        tooLong.Add(new FCTShowFrame);
    EXPECT_EQ(tooLong.Finish(header), FMovieWrite::Refused);
}
