// The renderer keeps what it drew (the settled objects' base, the last frame): whatever the
// order frames are asked in, each must be the frame a new renderer draws alone.
#include "../movie/tour_project.h"
#include "imaging/pictavo.h"
#include "model/project_objects.h"
#include "render/frame_renderer.h"
#include "tests/support/object_state.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace {

// A picture of the whole stage in one colour, as a recording's full frame.
void AddWholeFrame(Project& project, int32_t timeMs, uint8_t shade, bool removedAfterASecond) {
    DibImage picture{};
    Pictavo().newdib(&picture, project.MovieWidth, project.MovieHeight, 24, nullptr, 0);
    for (int32_t y = 0; y < project.MovieHeight; ++y)
        std::fill_n(DibRow(picture, y), 3 * project.MovieWidth, shade);
    AddRecordedFrame(project, {0, 0, project.MovieWidth - 1, project.MovieHeight - 1}, timeMs,
                     picture)
        ->RemoveWhenFinished = removedAfterASecond;
}

TEST(FrameRendererTest, EveryFrameIsTheFrameDrawnAlone) {
    ASSERT_TRUE(LoadPictavo(CLIPMOOR_PROGRAM_DIR "/"));
    // The tour (every object kind, a turning and fading rectangle, the pointer); whole frames
    // late in it, one of them taken away again (what lies under it shows again); a turned,
    // half transparent text that moves over all of it.
    Project project;
    MakeTourProject(project);
    AddWholeFrame(project, 300, 0x40, true);
    AddWholeFrame(project, 2700, 0x80, false);
    AddWholeFrame(project, 2900, 0xC0, false);
    AnimObject* text = AddTextObject(project);
    text->Start = BoxState(40, 100, 200, 140, 300);
    text->End = BoxState(120, 60, 280, 100, 2600);
    text->End.Rotation = 900;
    text->Start.Transparency = text->End.Transparency = 50;
    const MovieTimeline timeline(project, project.FramesPerSecond);
    const int32_t last = timeline.FrameCount() - 1;

    std::vector<int32_t> order;
    for (int32_t k = 0; k <= last; ++k)
        order.push_back(k);
    for (int32_t k : {last / 2, 3, last, last, 0, last / 3, last - 1})
        order.push_back(k);
    FrameRenderer reused(project, timeline);
    QImage image;
    for (size_t i = 0; i < order.size(); ++i) {
        const int32_t k = order[i];
        if (i == 5)
            image.fill(Qt::red); // a caller that draws on its frame changes no later one
        reused.Render(k, image);
        FrameRenderer alone(project, timeline);
        QImage expected;
        alone.Render(k, expected);
        ASSERT_EQ(image, expected) << "frame " << k << ", request " << i;
    }
    ClearObjects(project);
}

} // namespace
