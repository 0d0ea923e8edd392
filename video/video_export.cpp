#include "video/video_export.h"

#include "movie/movie_builder.h"
#include "movie/timeline.h"
#include "render/frame_renderer.h"

namespace {

VideoFrameView ViewOf(const QImage& image) {
    return {image.constBits(), static_cast<ptrdiff_t>(image.bytesPerLine())};
}

} // namespace

Result ExportVideo(Project& project, const std::string& fileName,
                   const VideoExportSettings& settings, const VideoProgress& progress) {
    if (Result prepared = PrepareMovieProject(project, settings.framesPerSecond); !prepared)
        return prepared;
    // As long as the SWF movie, which holds at most 65535 frames.
    if (MovieTimeline::FrameCountOf(project, settings.framesPerSecond) > 65535)
        return Result::Failure(kMovieTooManyFramesMessage);
    const MovieTimeline timeline(project, settings.framesPerSecond);
    const int32_t frames = timeline.FrameCount();

    std::string failure;
    std::unique_ptr<VideoEncoder> encoder =
        VideoEncoder::Create(fileName,
                             {settings.format, project.MovieWidth, project.MovieHeight,
                              settings.framesPerSecond, settings.compression},
                             &failure);
    if (!encoder)
        return Result::Failure(failure);

    FrameRenderer renderer(project, timeline);
    QImage image;
    const bool studies = encoder->WantsPaletteFrames();
    const int32_t steps = studies ? 2 * frames : frames;
    int32_t done = 0;
    for (int pass = studies ? 0 : 1; pass < 2; ++pass) {
        for (int32_t k = 0; k < frames; ++k) {
            // A frame that shows what the previous one showed is not drawn again.
            const bool same = renderer.SameAsPrevious(k);
            if (!same)
                renderer.Render(k, image);
            bool added = true;
            if (pass == 0)
                added = same || encoder->AddPaletteFrame(ViewOf(image), &failure);
            else
                added = same ? encoder->AddSameFrame(&failure)
                             : encoder->AddFrame(ViewOf(image), &failure);
            if (!added)
                return Result::Failure(failure);
            if (progress && !progress(++done, steps))
                return Result::Failure(kVideoCancelledMessage);
        }
    }
    if (!encoder->Finish(&failure))
        return Result::Failure(failure);
    return {};
}
