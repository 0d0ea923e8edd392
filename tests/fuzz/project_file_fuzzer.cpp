// Feeds arbitrary bytes to the project file reader. Whatever it accepts must save and load
// back to the same project; whatever it refuses must leave the open project as it was.
#include "imaging/pictavo.h"
#include "model/project_file.h"
#include "model/project_objects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// Saving syncs the file to disk; memory-backed /dev/shm keeps that cheap.
std::string ScratchPath() {
    const char* folder = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/clipmoor-fuzz-" +
           std::to_string(getpid()) + ".fmo";
}

bool SameString(const char* a, const char* b) {
    return std::strcmp(a ? a : "", b ? b : "") == 0;
}

bool SameObject(const AnimObject& a, const AnimObject& b) {
    if (a.Kind != b.Kind || a.Shape != b.Shape || !SameString(a.Text, b.Text) ||
        !SameString(a.FontName, b.FontName) || a.RemoveWhenFinished != b.RemoveWhenFinished ||
        std::memcmp(&a.Start, &b.Start, sizeof a.Start) != 0 ||
        std::memcmp(&a.End, &b.End, sizeof a.End) != 0 || DibWidth(a.Image) != DibWidth(b.Image) ||
        DibHeight(a.Image) != DibHeight(b.Image))
        return false;
    for (int32_t y = 0; y < DibHeight(a.Image); ++y) {
        if (std::memcmp(DibRow(a.Image, y), DibRow(b.Image, y),
                        static_cast<size_t>(DibWidth(a.Image)) * 3) != 0)
            return false;
    }
    return true;
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "project file fuzzer: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    if (!LoadPictavo(CLIPMOOR_PROGRAM_DIR "/")) {
        std::fprintf(stderr, "%s (looked in %s)\n", kPictavoLoadError, CLIPMOOR_PROGRAM_DIR);
        std::exit(1);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Project project;
    AddTextObject(project);
    project.PointerTrack.Add()->X = 7;
    Result result = LoadProjectFromMemory(project, data, size, "fuzz.fmo");
    if (!result) {
        Check(project.Objects.Count() == 1 && project.PointerTrack.Count() == 1 &&
                  project.CurrentFileName.empty(),
              "a refused file changed the open project");
        ClearObjects(project);
        return 0;
    }
    Check(project.FramesPerSecond >= 1 && project.FramesPerSecond <= 120, "fps out of range");
    Check(project.Compression >= 0 && project.Compression <= 100, "compression out of range");

    std::string path = ScratchPath();
    Check(static_cast<bool>(SaveProject(project, path)), "an accepted project cannot be saved");
    Project reloaded;
    Check(static_cast<bool>(LoadProject(reloaded, path)), "a saved project cannot be loaded");
    std::remove(path.c_str());
    Check(reloaded.Objects.Count() == project.Objects.Count() &&
              reloaded.PointerTrack.Count() == project.PointerTrack.Count() &&
              reloaded.MovieWidth == project.MovieWidth &&
              reloaded.MovieHeight == project.MovieHeight &&
              reloaded.FramesPerSecond == project.FramesPerSecond &&
              reloaded.Compression == project.Compression,
          "save and load changed the settings");
    for (int32_t i = 0; i < project.Objects.Count(); ++i)
        Check(SameObject(project.Objects[i], reloaded.Objects[i]),
              "save and load changed an object");
    for (int32_t i = 0; i < project.PointerTrack.Count(); ++i)
        Check(std::memcmp(&project.PointerTrack[i], &reloaded.PointerTrack[i],
                          sizeof(PointerSample)) == 0,
              "save and load changed the pointer track");
    ClearObjects(reloaded);
    ClearObjects(project);
    return 0;
}
