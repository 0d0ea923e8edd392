// OpenDib: reading picture files into DIBs without trusting the decoders.
//
// The file's header is read and checked here; the decoding itself runs in the helper
// pictavo-decoder next to the library, under limits of CPU time, address space and output
// size and without network. The helper gets the file's bytes in one sealed memory file and
// leaves the pixels in another of fixed size; whatever it does, the program only reads a
// record it checks against the header. A helper that crashes, runs out of its limits or
// takes longer than the time limit (killed) gives the same result as a damaged file.
#include "imaging/decoder_protocol.h"
#include "imaging/dib_block.h"
#include "imaging/pictavo_exports.h"
#include "imaging/picture_header.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <string>
#include <strings.h>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace {

// How long the helper may take, in CPU time and in real time: a base, unless
// PICTAVO_DECODE_TIMEOUT_MS gives another, plus time for the pixels of large pictures.
constexpr int kDefaultTimeoutMs = 4000;
constexpr int64_t kPixelsPerExtraMs = 4096;
// The helper's address space: what it maps to start with, plus room for the decoder's
// surface, a converted copy and the DIB per pixel, up to a ceiling.
constexpr int64_t kHelperBaseBytes = int64_t{256} << 20;
constexpr int64_t kHelperBytesPerPixel = 16;
constexpr int64_t kHelperMaxBytes = int64_t{3} << 30;

class Descriptor {
public:
    explicit Descriptor(int fd = -1) : fd_(fd) {}
    ~Descriptor() {
        if (fd_ >= 0)
            close(fd_);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return fd_; }

private:
    int fd_;
};

bool ReadWholeFile(const char* fileName, std::vector<uint8_t>& data) {
    FILE* file = std::fopen(fileName, "rb");
    if (!file)
        return false;
    bool ok = std::fseek(file, 0, SEEK_END) == 0;
    const long size = ok ? std::ftell(file) : -1;
    ok = ok && size > 0 && size <= pictavo::kMaxPictureFileBytes &&
         std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        data.resize(static_cast<size_t>(size));
        ok = std::fread(data.data(), 1, data.size(), file) == data.size();
    }
    std::fclose(file);
    return ok;
}

bool NamesTga(const char* fileName) {
    const char* dot = std::strrchr(fileName, '.');
    if (!dot || std::strchr(dot, '/'))
        return false;
    return strcasecmp(dot, ".tga") == 0;
}

int TimeoutMs(int64_t pixels) {
    const char* text = std::getenv("PICTAVO_DECODE_TIMEOUT_MS");
    const long value = text ? std::strtol(text, nullptr, 10) : 0;
    const int base = value > 0 && value <= 600000 ? static_cast<int>(value) : kDefaultTimeoutMs;
    return base + static_cast<int>(pixels / kPixelsPerExtraMs);
}

// The helper lies in the folder of this library.
std::string HelperPath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&OpenDib), &info) || !info.dli_fname)
        return {};
    std::string path = info.dli_fname;
    const size_t slash = path.rfind('/');
    path = slash == std::string::npos ? std::string("./") : path.substr(0, slash + 1);
    return path + pictavo::kDecoderFileName;
}

bool WriteAll(int fd, const uint8_t* data, size_t size) {
    while (size > 0) {
        const ssize_t written = write(fd, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written, size -= size_t(written);
    }
    return true;
}

// A memory file holding data, sealed against any change.
int SealedInput(const std::vector<uint8_t>& data) {
    const int fd = memfd_create("picture", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    if (!WriteAll(fd, data.data(), data.size()) ||
        fcntl(fd, F_ADD_SEALS, F_SEAL_WRITE | F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

// A memory file of exactly `bytes` (sparse until written) that cannot grow.
int FixedOutput(int64_t bytes) {
    const int fd = memfd_create("pixels", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    if (ftruncate(fd, off_t(bytes)) != 0 ||
        fcntl(fd, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK | F_SEAL_SEAL) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

int64_t MillisecondsNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1000000;
}

// Waits until the child exits or the time is up; false on time-out. The child is not reaped.
bool WaitForExit(pid_t child, int timeoutMs) {
    const int64_t deadline = MillisecondsNow() + timeoutMs;
    Descriptor pidfd(static_cast<int>(syscall(SYS_pidfd_open, child, 0)));
    for (;;) {
        const int64_t left = deadline - MillisecondsNow();
        if (pidfd.get() >= 0) {
            pollfd entry{pidfd.get(), POLLIN, 0};
            const int ready = poll(&entry, 1, static_cast<int>(std::max<int64_t>(left, 0)));
            if (ready > 0)
                return true;
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0)
                return false;
        }
        // Without pidfds: look every few milliseconds.
        siginfo_t info{};
        if (waitid(P_PID, id_t(child), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
            info.si_pid == child)
            return true;
        if (left <= 0)
            return false;
        usleep(static_cast<useconds_t>(std::min<int64_t>(left, 5) * 1000));
    }
}

// Runs the helper; true when it finished in time and said it wrote its record.
bool RunHelper(int input, int output, int64_t outputBytes, int64_t pixels, bool tgaByName) {
    const std::string helper = HelperPath();
    if (helper.empty())
        return false;
    const int timeoutMs = TimeoutMs(pixels);
    const std::string cpuSeconds = std::to_string((timeoutMs + 999) / 1000);
    const int64_t memory =
        std::min(kHelperMaxBytes, kHelperBaseBytes + pixels * kHelperBytesPerPixel);
    const std::string memoryBytes = std::to_string(memory);
    const std::string outputText = std::to_string(outputBytes);
    std::vector<char*> argv = {
        const_cast<char*>(helper.c_str()),      const_cast<char*>("--cpu-seconds"),
        const_cast<char*>(cpuSeconds.c_str()),  const_cast<char*>("--memory-bytes"),
        const_cast<char*>(memoryBytes.c_str()), const_cast<char*>("--output-bytes"),
        const_cast<char*>(outputText.c_str())};
    if (tgaByName)
        argv.push_back(const_cast<char*>("--tga"));
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attributes;
    posix_spawn_file_actions_init(&actions);
    posix_spawnattr_init(&attributes);
    // Its own process group, so that whatever it starts goes when it is killed; default
    // signal handling and nothing blocked.
    sigset_t none, all;
    sigemptyset(&none);
    sigfillset(&all);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK |
                                              POSIX_SPAWN_SETSIGDEF);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setsigmask(&attributes, &none);
    posix_spawnattr_setsigdefault(&attributes, &all);
    posix_spawn_file_actions_adddup2(&actions, input, 0);
    posix_spawn_file_actions_adddup2(&actions, output, 1);
    // The decoders' warnings (a damaged PNG can print them without end) go nowhere.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t child = -1;
    const int spawned =
        posix_spawn(&child, helper.c_str(), &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (spawned != 0)
        return false;

    const bool exited = WaitForExit(child, timeoutMs);
    // The child is not reaped yet, so its group id cannot have been reused.
    kill(-child, SIGKILL);
    kill(child, SIGKILL);
    int status = 0;
    pid_t reaped;
    do
        reaped = waitpid(child, &status, 0);
    while (reaped < 0 && errno == EINTR);
    if (!exited)
        return false;
    // A program that ignores SIGCHLD has its children reaped for it; the record decides then.
    if (reaped < 0)
        return errno == ECHILD;
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

bool ReadAt(int fd, void* into, size_t bytes, int64_t offset) {
    auto* at = static_cast<uint8_t*>(into);
    while (bytes > 0) {
        const ssize_t got = pread(fd, at, bytes, off_t(offset));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        at += got, bytes -= size_t(got), offset += got;
    }
    return true;
}

bool IsDibDepth(int bits) {
    return bits == 1 || bits == 4 || bits == 8 || bits == 24 || bits == 32;
}

// Makes target from the helper's output after checking its record against the header.
bool TakeDecodedPicture(int output, int64_t outputBytes, const pictavo::PictureHeader& header,
                        DibImage* target) {
    pictavo::DecodedPicture record{};
    if (!ReadAt(output, &record, sizeof record, 0) || record.magic != pictavo::kDecodedMagic ||
        !IsDibDepth(record.bitsPerPixel) || record.width <= 0 || record.width > header.width ||
        record.height <= 0 || record.height > header.height ||
        record.bytesPerRow != pictavo::DibStride(record.width, record.bitsPerPixel))
        return false;
    const int64_t pixelBytes = int64_t{record.bytesPerRow} * record.height;
    if (pixelBytes > outputBytes - pictavo::kDecodedPixelsOffset)
        return false;
    const bool palette = record.bitsPerPixel <= 8;
    if (palette && (record.colorCount < 1 || record.colorCount > (1 << record.bitsPerPixel)))
        return false;
    if (!pictavo::AllocateDib(target, record.width, record.height, record.bitsPerPixel,
                              palette ? record.colors : nullptr, palette ? record.colorCount : 0))
        return false;
    if (!ReadAt(output, target->pixels, size_t(pixelBytes), pictavo::kDecodedPixelsOffset)) {
        pictavo::ReleaseDib(*target);
        std::memset(target, 0, sizeof(DibImage));
        return false;
    }
    return true;
}

} // namespace

extern "C" {

// Returns 1 with the decoded picture in target; on failure 0 and target is all zero.
int OpenDib(DibImage* target, const char* fileName, int /*reserved*/, void* /*owner*/) {
    if (!target)
        return 0;
    std::memset(target, 0, sizeof(DibImage));
    std::vector<uint8_t> data;
    if (!fileName || !ReadWholeFile(fileName, data))
        return 0;

    // Only the twelve kinds are read, and only at sizes the header declares and allows.
    const bool tgaByName = NamesTga(fileName);
    const pictavo::PictureHeader header =
        pictavo::ReadPictureHeader(data.data(), data.size(), tgaByName);
    if (!pictavo::HeaderAllowsDecoding(header, data.size()))
        return 0;

    // Room for the widest DIB the header allows: 32 bits per pixel.
    const int64_t outputBytes =
        pictavo::kDecodedPixelsOffset +
        pictavo::DibStride(static_cast<int>(header.width), 32) * header.height;
    Descriptor input(SealedInput(data));
    Descriptor output(FixedOutput(outputBytes));
    if (input.get() < 0 || output.get() < 0 ||
        !RunHelper(input.get(), output.get(), outputBytes, header.width * header.height, tgaByName))
        return 0;
    return TakeDecodedPicture(output.get(), outputBytes, header, target) ? 1 : 0;
}

} // extern "C"
