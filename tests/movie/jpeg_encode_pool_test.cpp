#include "movie/jpeg_encode_pool.h"
#include "movie_fixture.h"

#include <cstring>
#include <vector>

namespace {

class JpegEncodePoolTest : public MovieFixture {
protected:
    void TearDown() override {
        for (DibImage& image : pictures_)
            Pictavo().deldib(image);
        MovieFixture::TearDown();
    }

    // Pictures of different sizes and colours; every third one is to be shrunk.
    std::vector<JpegJob> Jobs(int count, int32_t size) {
        std::vector<JpegJob> jobs;
        for (int i = 0; i < count; ++i) {
            const int32_t width = size + 7 * i, height = size / 2 + 5 * i;
            pictures_.push_back(
                SolidPicture(width, height, uint8_t(20 * i), 128, uint8_t(255 - i)));
            const bool shrink = i % 3 == 0;
            jobs.push_back(
                {pictures_.back(), shrink ? width / 2 : width, shrink ? height / 2 : height});
        }
        return jobs;
    }

    std::vector<DibImage> pictures_;
};

TEST_F(JpegEncodePoolTest, ResultsComeInOrderAndMatchOneThread) {
    const std::vector<JpegJob> jobs = Jobs(12, 40);
    std::vector<EncodedJpeg> expected;
    for (const JpegJob& job : jobs)
        expected.push_back(EncodeJpegJob(job, 60));
    for (int threads : {0, 1, 2, 8}) {
        JpegEncodePool pool(60, threads, 3);
        size_t submitted = 0;
        for (size_t taken = 0; taken < jobs.size(); ++taken) {
            while (submitted < jobs.size() && pool.HasRoom())
                pool.Submit(jobs[submitted++]);
            EXPECT_LE(pool.Pending(), 3u);
            const EncodedJpeg result = pool.TakeNext();
            const EncodedJpeg& want = expected[taken];
            ASSERT_TRUE(result.data) << threads << " threads, job " << taken;
            EXPECT_EQ(result.width, want.width);
            EXPECT_EQ(result.height, want.height);
            ASSERT_EQ(result.size, want.size) << threads << " threads, job " << taken;
            EXPECT_EQ(std::memcmp(result.data.get(), want.data.get(), want.size), 0);
        }
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp"));
}

TEST_F(JpegEncodePoolTest, CancellingWithJobsQueuedLeavesNoTemporaryFile) {
    const std::vector<JpegJob> jobs = Jobs(8, 600);
    {
        JpegEncodePool pool(90, 2, jobs.size());
        for (const JpegJob& job : jobs)
            pool.Submit(job);
        EXPECT_TRUE(pool.TakeNext().data);
    }
    EXPECT_TRUE(std::filesystem::is_empty(folder_ / "tmp"));
}

TEST_F(JpegEncodePoolTest, APictureThatCannotBeWrittenGivesAnEmptyResult) {
    setenv("TMPDIR", (folder_ / "missing").c_str(), 1);
    JpegEncodePool pool(75, 2, 2);
    pool.Submit(Jobs(1, 30)[0]);
    EXPECT_FALSE(pool.TakeNext().data);
}

} // namespace
