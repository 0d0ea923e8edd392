// Frames drawn by the renderer agree with the emulator's playback of the same project's movie.
#include "../movie/movie_fixture.h"
#include "../movie/tour_project.h"
#include "render/frame_renderer.h"
#include "tests/ruffle_support/ruffle_player.h"

#include <cmath>

namespace {

// Peak signal-to-noise ratio (dB) of an RGB32 image against an emulator shot of its size.
double Psnr(const QImage& image, const ruffle_support::RuffleShot& shot) {
    double squares = 0;
    for (int y = 0; y < shot.height; ++y) {
        for (int x = 0; x < shot.width; ++x) {
            const QRgb pixel = image.pixel(x, y);
            const ruffle_support::Rgb expected = shot.At(x, y);
            for (auto [a, b] : {std::pair{qRed(pixel), int{expected.r}},
                                std::pair{qGreen(pixel), int{expected.g}},
                                std::pair{qBlue(pixel), int{expected.b}}})
                squares += double(a - b) * (a - b);
        }
    }
    const double mean = squares / (3.0 * shot.width * shot.height);
    return mean == 0 ? INFINITY : 10 * std::log10(255.0 * 255.0 / mean);
}

class RendererEmulatorTest : public MovieFixture {};

// The tour (a recording, a moving text that grows and changes colour, a rectangle that turns
// and fades, a growing ellipse, a growing picture, the pointer) with a turned, half transparent
// text and a turned picture on top.
TEST_F(RendererEmulatorTest, FramesMatchThePlayedMovie) {
    MakeTourProject(project_);
    AnimObject* text = AddText("Turned", 300, 2600, "DejaVu Sans");
    text->Start = BoxState(40, 100, 200, 140, 300);
    text->End = BoxState(120, 60, 280, 100, 2600);
    text->Start.FontSize = 20;
    text->End.FontSize = 30;
    text->Start.Rotation = 0;
    text->End.Rotation = 900;
    text->Start.Transparency = text->End.Transparency = 50;
    text->Start.Color = 0x000080;
    text->End.Color = 0x008000;
    AnimObject* picture = AddPicture(40, 30, BoxState(200, 120, 280, 180, 0),
                                     BoxState(220, 140, 260, 170, 3000), 200, 80, 20);
    picture->Start.Rotation = 200;
    picture->End.Rotation = -450;
    BuildAndRead(project_.FramesPerSecond);

    const std::vector<int32_t> frames = {0, 4, 9, 13, 17, 22, 26, 30};
    std::vector<int> times;
    for (int32_t k : frames)
        times.push_back(k * 100 + 50);
    std::string error;
    const auto shots = ruffle_support::PlayInEmulator(MoviePath(), project_.MovieWidth,
                                                      project_.MovieHeight, times, &error);
    ASSERT_EQ(shots.size(), frames.size()) << error;

    const MovieTimeline timeline(project_, project_.FramesPerSecond);
    FrameRenderer renderer(project_, timeline);
    QImage image;
    for (size_t i = 0; i < frames.size(); ++i) {
        renderer.Render(frames[i], image);
        EXPECT_GE(Psnr(image, shots[i]), 30.0) << "frame " << frames[i];
    }
}

} // namespace
