// Plays built movies in the open-source Flash emulator and checks what shows where.
#include "model/project_file.h"
#include "movie_fixture.h"
#include "tests/ruffle_support/ruffle_player.h"

namespace {

using ruffle_support::ColorNear;
using ruffle_support::Rgb;

class MoviePlaybackTest : public MovieFixture {
protected:
    // Black text that stays in its box from the start of the movie on.
    AnimObject* AddStillText(const char* characters, ObjectState box, int32_t fontSize) {
        AnimObject* text = AddText(characters, 0, 0);
        text->Start = text->End = box;
        text->Start.FontSize = text->End.FontSize = fontSize;
        text->Start.Color = text->End.Color = 0;
        text->RemoveWhenFinished = false;
        return text;
    }
};

TEST_F(MoviePlaybackTest, ShapesPictureAndTextShowWhereTheyWerePut) {
    project_.MovieWidth = 400;
    project_.MovieHeight = 300;
    AnimObject* rect =
        AddVector(ShapeRectangle, BoxState(20, 20, 100, 80, 0), BoxState(20, 20, 100, 80, 0));
    rect->Start.Color = rect->End.Color = 0x0000FF; // red
    AnimObject* ellipse =
        AddVector(ShapeEllipse, BoxState(140, 20, 240, 80, 0), BoxState(140, 20, 240, 80, 0));
    ellipse->Start.Color = ellipse->End.Color = 0xFF0000; // blue
    // Inside-out (right left of left) and rotated boxes must fill as well.
    AnimObject* insideOut =
        AddVector(ShapeRectangle, BoxState(360, 20, 280, 80, 0), BoxState(360, 20, 280, 80, 0));
    insideOut->Start.Color = insideOut->End.Color = 0x00C000; // green
    AnimObject* rotated =
        AddVector(ShapeRectangle, BoxState(300, 200, 360, 260, 0), BoxState(300, 200, 360, 260, 0));
    rotated->Start.Rotation = rotated->End.Rotation = 450;
    rotated->Start.Color = rotated->End.Color = 0xFF00FF; // magenta
    AddPicture(60, 40, BoxState(20, 120, 80, 160, 0), BoxState(20, 120, 80, 160, 0), 0, 200, 0);
    AnimObject* text = AddText("Hello", 0, 0);
    text->Start = text->End = BoxState(120, 200, 280, 260, 0);
    text->Start.FontSize = text->End.FontSize = 40;
    text->Start.Color = text->End.Color = 0; // black
    BuildAndRead(5);

    std::string error;
    auto shots = ruffle_support::PlayInEmulator(MoviePath(), 400, 300, {100}, &error);
    ASSERT_EQ(shots.size(), 1u) << error;
    const auto& shot = shots[0];
    EXPECT_TRUE(ColorNear(shot.At(5, 290), {255, 255, 255}, 8)) << "background";
    EXPECT_TRUE(ColorNear(shot.At(60, 50), {255, 0, 0}, 16)) << "rectangle";
    EXPECT_TRUE(ColorNear(shot.At(190, 50), {0, 0, 255}, 16)) << "ellipse centre";
    EXPECT_TRUE(ColorNear(shot.At(143, 23), {255, 255, 255}, 16)) << "outside the ellipse";
    EXPECT_TRUE(ColorNear(shot.At(320, 50), {0, 192, 0}, 16)) << "inside-out rectangle";
    EXPECT_TRUE(ColorNear(shot.At(330, 230), {255, 0, 255}, 16)) << "rotated rectangle";
    EXPECT_TRUE(ColorNear(shot.At(302, 202), {255, 255, 255}, 16)) << "rotated corner is gone";
    EXPECT_TRUE(ColorNear(shot.At(50, 140), {0, 200, 0}, 24)) << "picture";

    auto dark = [&](int left, int top, int right, int bottom) {
        int count = 0;
        for (int y = top; y <= bottom; ++y)
            for (int x = left; x <= right; ++x)
                count += ColorNear(shot.At(x, y), {0, 0, 0}, 60);
        return count;
    };
    EXPECT_GT(dark(120, 195, 280, 265), 200) << "the text's glyphs";
    EXPECT_EQ(dark(0, 170, 110, 299), 0) << "nothing dark left of the text";
}

// A recorded frame captured after the overlays appeared stays below them: the list decides.
TEST_F(MoviePlaybackTest, OverlaysListedAfterRecordedFramesStayAboveThem) {
    project_.MovieWidth = 200;
    project_.MovieHeight = 150;
    AddRecordedFrame(project_, {-1, -1, 198, 148}, 0, SolidPicture(200, 150, 200, 200, 200));
    AddRecordedFrame(project_, {-1, -1, 198, 148}, 400, SolidPicture(200, 150, 255, 200, 150));
    AddStillText("Hi", BoxState(30, 30, 110, 100, 0), 40);
    AnimObject* box =
        AddVector(ShapeRectangle, BoxState(130, 40, 190, 100, 0), BoxState(130, 40, 190, 100, 0));
    box->Start.Color = box->End.Color = 0x0000FF;
    box->RemoveWhenFinished = false;
    BuildAndRead(5);

    std::string error;
    auto shots = ruffle_support::PlayInEmulator(MoviePath(), 200, 150, {800}, &error);
    ASSERT_EQ(shots.size(), 1u) << error;
    const auto& shot = shots[0];
    EXPECT_TRUE(ColorNear(shot.At(100, 130), {150, 200, 255}, 24)) << "the second frame shows";
    EXPECT_TRUE(ColorNear(shot.At(160, 70), {255, 0, 0}, 16)) << "the rectangle";
    int dark = 0; // the text's glyphs
    for (int y = 30; y <= 100; ++y)
        for (int x = 30; x <= 110; ++x)
            dark += ColorNear(shot.At(x, y), {0, 0, 0}, 60);
    EXPECT_GT(dark, 100);
}

TEST_F(MoviePlaybackTest, TheTourShowsTheRectangleOverTheRecordedButton) {
    ASSERT_TRUE(LoadProject(project_, CLIPMOOR_SOURCE_DIR "/examples/tour.fmo"));
    BuildAndRead(10);
    std::string error;
    auto shots = ruffle_support::PlayInEmulator(MoviePath(), 320, 200, {1600}, &error);
    ASSERT_EQ(shots.size(), 1u) << error;
    // Half-way from red to green and 22 % transparent by now, over the button's green.
    EXPECT_TRUE(ColorNear(shots[0].At(185, 146), {99, 111, 21}, 24));
}

// The same text stored as UTF-8 and as Windows-1252 draws the same glyphs; a Cyrillic word
// draws too.
TEST_F(MoviePlaybackTest, TextsDrawTheCharactersTheEditorShows) {
    project_.MovieWidth = 300;
    project_.MovieHeight = 240;
    const char* texts[] = {"Gr\xC3\xBC\xC3\x9F"
                           "e \xE2\x82\xAC",
                           "Gr\xFC\xDF"
                           "e \x80",
                           "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82"};
    for (int i = 0; i < 3; ++i)
        AddStillText(texts[i], BoxState(40, 20 + 70 * i, 280, 80 + 70 * i, 0), 40);
    *project_.PointerTrack.Add() = PointerSample{290, 230, 0}; // out of the way
    BuildAndRead(5);

    std::string error;
    auto shots = ruffle_support::PlayInEmulator(MoviePath(), 300, 240, {100}, &error);
    ASSERT_EQ(shots.size(), 1u) << error;
    const auto& shot = shots[0];
    auto dark = [&](int x, int y) { return ColorNear(shot.At(x, y), {0, 0, 0}, 96); };
    int darkInRow[3] = {};
    int differing = 0;
    for (int y = 10; y < 80; ++y) {
        for (int x = 0; x < 300; ++x) {
            for (int row = 0; row < 3; ++row)
                darkInRow[row] += dark(x, y + 70 * row);
            differing += dark(x, y) != dark(x, y + 70);
        }
    }
    EXPECT_GT(darkInRow[0], 300);
    EXPECT_LE(differing, darkInRow[0] / 50) << "UTF-8 and Windows-1252 rows differ";
    EXPECT_GT(darkInRow[2], 300) << "the Cyrillic word";
}

TEST_F(MoviePlaybackTest, MorphShapeMovesAndPointerFollows) {
    project_.MovieWidth = 200;
    project_.MovieHeight = 100;
    AnimObject* box =
        AddVector(ShapeRectangle, BoxState(0, 0, 40, 40, 0), BoxState(150, 0, 190, 40, 1000));
    box->Start.Color = box->End.Color = 0x0000FF;
    *project_.PointerTrack.Add() = PointerSample{100, 60, 0};
    BuildAndRead(5);
    std::string error;
    // Frame 0 at 0 ms, frame 5 (the End state) from 1000 ms on.
    auto shots = ruffle_support::PlayInEmulator(MoviePath(), 200, 100, {100, 1100}, &error);
    ASSERT_EQ(shots.size(), 2u) << error;
    EXPECT_TRUE(ColorNear(shots[0].At(20, 20), {255, 0, 0}, 16));
    EXPECT_TRUE(ColorNear(shots[0].At(170, 20), {255, 255, 255}, 16));
    EXPECT_TRUE(ColorNear(shots[1].At(170, 20), {255, 0, 0}, 16));
    EXPECT_TRUE(ColorNear(shots[1].At(20, 20), {255, 255, 255}, 16));
    // The arrow (230 x 400 twips, black outline) hangs from its tip at the pointer position.
    auto arrow = shots[1].BoxOf({0, 0, 0}, 80);
    ASSERT_TRUE(arrow.has_value());
    EXPECT_NEAR(arrow->left, 100, 2);
    EXPECT_NEAR(arrow->top, 60, 2);
    EXPECT_NEAR(arrow->Width(), 12, 2);
    EXPECT_NEAR(arrow->Height(), 20, 2);
}

} // namespace
