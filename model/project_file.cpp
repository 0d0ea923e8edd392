#include "model/project_file.h"

#include "imaging/pictavo.h"
#include "model/byte_stream.h"
#include "model/project_objects.h"

#include <algorithm>
#include <cstring>
#include <memory>

#include <sys/mman.h>
#include <unistd.h>

namespace {

// Smallest object block: Kind, Shape, two lengths with one-byte strings, the flag word and
// both states.
constexpr uint64_t kMinObjectBlockSize = 4 + 4 + 4 + 1 + 4 + 1 + 4 + 36 + 36;
constexpr uint64_t kPointerSampleSize = 12;

// --- Saving --------------------------------------------------------------------------

// Pictures are stored without row padding; a picture that is not plain 24-bit bottom-up
// would be read outside its rows, so it is refused instead.
bool PictureCanBeSaved(const DibImage& image) {
    if (!image.info)
        return true;
    int32_t width = DibWidth(image);
    int32_t height = DibHeight(image);
    if (width == 0 || height == 0)
        return true;
    return width > 0 && height > 0 && DibBitCount(image) == 24 && image.pixels &&
           image.bytesPerRow >= static_cast<int64_t>(width) * 3;
}

void WriteString(FileWriter& out, const char* text) {
    if (!text)
        text = "";
    uint32_t length = static_cast<uint32_t>(std::strlen(text)) + 1;
    out.WriteU32(length);
    out.Write(text, length);
}

void WriteState(FileWriter& out, const ObjectState& state) {
    const int32_t fields[9] = {state.Left,   state.Top,          state.Right,
                               state.Bottom, state.FontSize,     state.Rotation,
                               state.Time,   state.Transparency, state.Color};
    for (int32_t value : fields)
        out.WriteI32(value);
}

void WriteObject(FileWriter& out, const AnimObject& object) {
    out.WriteI32(object.Kind);
    out.WriteI32(object.Shape);
    WriteString(out, object.Text);
    WriteString(out, object.FontName);
    out.WriteI32(object.RemoveWhenFinished ? 1 : 0);
    WriteState(out, object.Start);
    WriteState(out, object.End);
    if (object.Kind != KindPicture)
        return;
    int32_t width = std::max(DibWidth(object.Image), 0);
    int32_t height = std::max(DibHeight(object.Image), 0);
    if (width == 0 || height == 0)
        width = height = 0;
    out.WriteU32(static_cast<uint32_t>(width));
    out.WriteU32(static_cast<uint32_t>(height));
    size_t rowBytes = static_cast<size_t>(width) * 3;
    for (int32_t y = 0; y < height; ++y)
        out.Write(DibRow(object.Image, y), rowBytes);
}

// --- Loading -------------------------------------------------------------------------

struct LoadedSettings {
    int32_t movieWidth = 0;
    int32_t movieHeight = 0;
    uint32_t framesPerSecond = 0;
    uint32_t compression = kDefaultCompression;
    bool hasPointerTrack = false;
};

bool ReadString(ByteSource& in, char*& target) {
    uint32_t length = 0;
    if (!in.ReadU32(length) || length == 0 || length > in.Remaining())
        return false;
    target = static_cast<char*>(std::malloc(length));
    if (!target)
        throw std::bad_alloc();
    return in.Read(target, length) && target[length - 1] == '\0';
}

bool ReadState(ByteSource& in, ObjectState& state) {
    int32_t fields[9];
    for (int32_t& value : fields) {
        if (!in.ReadI32(value))
            return false;
    }
    state = {fields[0], fields[1], fields[2], fields[3], fields[4],
             fields[5], fields[6], fields[7], fields[8]};
    return true;
}

// Fresh picture memory is mapped in page by page on first touch, which costs more than
// reading the rows themselves on some virtual machines; one call maps it all in at once.
void PrefaultPixels(const DibImage& image) {
#ifdef MADV_POPULATE_WRITE
    static const uintptr_t pageSize = static_cast<uintptr_t>(sysconf(_SC_PAGESIZE));
    auto first = reinterpret_cast<uintptr_t>(image.pixels);
    uintptr_t last = first + static_cast<uintptr_t>(image.bytesPerRow) *
                                 static_cast<uintptr_t>(DibHeight(image));
    first = (first + pageSize - 1) & ~(pageSize - 1);
    last &= ~(pageSize - 1);
    if (last > first)
        madvise(reinterpret_cast<void*>(first), last - first, MADV_POPULATE_WRITE); // a hint
#else
    (void)image;
#endif
}

// Reads W, H and the rows into a fresh picture. Returns the failure message, or an empty
// string when the picture was read.
std::string ReadPicture(ByteSource& in, DibImage& image) {
    uint32_t width = 0;
    uint32_t height = 0;
    if (!in.ReadU32(width) || !in.ReadU32(height))
        return kDamagedFileMessage;
    if (width == 0 || height == 0)
        return {}; // no rows stored; the object keeps an empty picture
    uint64_t rowBytes = static_cast<uint64_t>(width) * 3;
    if (width > INT32_MAX || height > INT32_MAX || rowBytes > in.Remaining() ||
        height > in.Remaining() / rowBytes)
        return kDamagedFileMessage;
    if (!PictavoLoaded())
        return kPictavoLoadError;
    Pictavo().newdib(&image, static_cast<int>(width), static_cast<int>(height), 24, nullptr, 0);
    if (!image.pixels || DibWidth(image) != static_cast<int32_t>(width) ||
        DibHeight(image) != static_cast<int32_t>(height) || DibBitCount(image) != 24 ||
        static_cast<uint64_t>(image.bytesPerRow) < rowBytes)
        return kPicturesTooLargeMessage;
    PrefaultPixels(image);
    if (!in.ReadRows(image.pixels, rowBytes, static_cast<size_t>(image.bytesPerRow), height))
        return kDamagedFileMessage;
    return {};
}

// Reads one object block into a freshly added record; on failure the record holds only
// what it owns so far, for ClearObjects to release.
std::string ReadObject(ByteSource& in, AnimObject& object) {
    int32_t removeWhenFinished = 0;
    if (!in.ReadI32(object.Kind) || !in.ReadI32(object.Shape))
        return kDamagedFileMessage;
    if (object.Kind < KindText || object.Kind > KindButton)
        return kDamagedFileMessage;
    if (!ReadString(in, object.Text) || !ReadString(in, object.FontName))
        return kDamagedFileMessage;
    if (!in.ReadI32(removeWhenFinished) || !ReadState(in, object.Start) ||
        !ReadState(in, object.End))
        return kDamagedFileMessage;
    object.RemoveWhenFinished = removeWhenFinished != 0;
    if (object.Kind == KindPicture)
        return ReadPicture(in, object.Image);
    return {};
}

// Reads the whole file into `loaded`; nothing else is touched.
std::string ReadProject(ByteSource& in, Project& loaded, LoadedSettings& settings) {
    char magic[kProjectFileMagicSize];
    if (!in.Read(magic, sizeof magic) || std::memcmp(magic, kProjectFileMagic, sizeof magic) != 0)
        return kNotValidFileMessage;

    uint32_t reservedColor = 0;
    uint32_t objectCount = 0;
    if (!in.ReadI32(settings.movieWidth) || !in.ReadI32(settings.movieHeight) ||
        !in.ReadU32(settings.framesPerSecond) || !in.ReadU32(reservedColor) ||
        !in.ReadU32(objectCount))
        return kDamagedFileMessage;
    if (objectCount > in.Remaining() / kMinObjectBlockSize)
        return kDamagedFileMessage;

    for (uint32_t i = 0; i < objectCount; ++i) {
        std::string failure = ReadObject(in, *loaded.Objects.Add());
        if (!failure.empty())
            return failure;
    }

    // Both trailing parts are optional: an older file ends after the objects.
    settings.compression = kDefaultCompression;
    if (in.Remaining() >= 4 && !in.ReadU32(settings.compression))
        return kDamagedFileMessage;
    uint32_t sampleCount = 0;
    if (in.Remaining() >= 4) {
        if (!in.ReadU32(sampleCount) || sampleCount > in.Remaining() / kPointerSampleSize)
            return kDamagedFileMessage;
        settings.hasPointerTrack = true;
        for (uint32_t i = 0; i < sampleCount; ++i) {
            PointerSample* sample = loaded.PointerTrack.Add();
            if (!in.ReadI32(sample->X) || !in.ReadI32(sample->Y) || !in.ReadI32(sample->Time))
                return kDamagedFileMessage;
        }
    }
    return {};
}

Result LoadFrom(Project& project, ByteSource& in, const std::string& fileName) {
    Project loaded;
    LoadedSettings settings;
    std::string failure;
    try {
        failure = ReadProject(in, loaded, settings);
    } catch (const std::bad_alloc&) {
        failure = kPicturesTooLargeMessage;
    }
    if (!failure.empty()) {
        ClearObjects(loaded);
        return Result::Failure(failure);
    }

    ClearObjects(project);
    project.Objects.ExchangeContents(loaded.Objects);
    if (settings.hasPointerTrack)
        project.PointerTrack.ExchangeContents(loaded.PointerTrack);
    project.MovieWidth = settings.movieWidth;
    project.MovieHeight = settings.movieHeight;
    project.FramesPerSecond = static_cast<int32_t>(
        std::clamp<uint32_t>(settings.framesPerSecond, kMinFramesPerSecond, kMaxFramesPerSecond));
    project.Compression = static_cast<int32_t>(
        std::clamp<uint32_t>(settings.compression, kMinCompression, kMaxCompression));
    SetCurrentFileName(project, fileName);
    return Result{};
}

} // namespace

Result SaveProject(Project& project, const std::string& path) {
    for (const AnimObject& object : project.Objects) {
        if (object.Kind == KindPicture && !PictureCanBeSaved(object.Image))
            return Result::Failure(
                CannotCreateFileMessage("A picture of the project is not a 24-bit picture."));
    }

    std::string failure;
    std::unique_ptr<FileWriter> out = FileWriter::CreateReplacing(path, &failure);
    if (!out)
        return Result::Failure(failure);

    out->Write(kProjectFileMagic, kProjectFileMagicSize);
    out->WriteI32(project.MovieWidth);
    out->WriteI32(project.MovieHeight);
    out->WriteU32(static_cast<uint32_t>(project.FramesPerSecond));
    out->WriteU32(kReservedColorWord);
    out->WriteU32(static_cast<uint32_t>(project.Objects.Count()));
    for (const AnimObject& object : project.Objects)
        WriteObject(*out, object);
    out->WriteU32(static_cast<uint32_t>(project.Compression));
    out->WriteU32(static_cast<uint32_t>(project.PointerTrack.Count()));
    for (const PointerSample& sample : project.PointerTrack) {
        out->WriteI32(sample.X);
        out->WriteI32(sample.Y);
        out->WriteI32(sample.Time);
    }

    int error = out->Commit();
    if (error != 0)
        return Result::Failure(out->CommitFailureMessage(error));
    SetCurrentFileName(project, path);
    return Result{};
}

Result CheckProjectCanBeSaved(const std::string& path) {
    std::string failure;
    if (!FileWriter::CreateReplacing(path, &failure)) // the trial file goes with the writer
        return Result::Failure(failure);
    return Result{};
}

Result LoadProject(Project& project, const std::string& path) {
    std::unique_ptr<FileSource> in = FileSource::Open(path);
    if (!in)
        return Result::Failure(kCannotOpenFileMessage);
    return LoadFrom(project, *in, path);
}

Result LoadProjectFromMemory(Project& project, const uint8_t* data, size_t size,
                             const std::string& fileName) {
    MemorySource in(data, size);
    return LoadFrom(project, in, fileName);
}
