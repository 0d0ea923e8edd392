// The timeline's random access (what frame k shows) agrees with the changes it hands the SWF
// writer frame by frame, so the renderer and the movie show the same objects.
#include "model/project_objects.h"
#include "movie/timeline.h"
#include "tests/support/object_state.h"

#include <gtest/gtest.h>

#include <random>

namespace {

TEST(MovieTimelineTest, StageAtAnyFrameIsWhatTheChangesBuild) {
    std::mt19937 random(7);
    for (int round = 0; round < 40; ++round) {
        Project project;
        const int count = 1 + static_cast<int>(random() % 12);
        for (int i = 0; i < count; ++i) {
            AnimObject* object = AddVectorObject(project);
            const int32_t start = static_cast<int32_t>(random() % 1500) - 200;
            const int32_t length = random() % 3 == 0 ? 0 : static_cast<int32_t>(random() % 900);
            object->Start = BoxState(0, 0, 10, 10, start);
            object->End = BoxState(0, 0, 10, 10, start + length);
            object->RemoveWhenFinished = random() % 2 == 0;
        }
        const double fps = 1 + random() % 30;
        const MovieTimeline timeline(project, fps);
        std::vector<bool> shown(static_cast<size_t>(count), false);
        for (int32_t k = 0; k < timeline.FrameCount(); ++k) {
            for (int32_t i = 0; i < count; ++i) {
                const FrameChange change = timeline.ChangeAt(k, i);
                if (change == FrameChange::Define || change == FrameChange::DefineAndUpdate)
                    shown[i] = true;
                if (change == FrameChange::Remove)
                    shown[i] = false;
                ASSERT_EQ(timeline.OnStage(k, i), shown[i])
                    << "round " << round << " frame " << k << " object " << i;
                if (k > timeline.SettledFrom(i)) {
                    ASSERT_EQ(timeline.OnStage(k, i), timeline.OnStage(k - 1, i));
                    ASSERT_EQ(timeline.PointAt(k, i).elapsed, timeline.PointAt(k - 1, i).elapsed);
                }
            }
        }
        ClearObjects(project);
    }
}

} // namespace
