#include "model/byte_stream.h"

#include "model/result.h"
#include "model/unfinished_files.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include <climits>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {

constexpr size_t kChunkSize = 1 << 20;
// A large file's bytes are handed to the disk every this many while it is written, so that
// the sync before its rename waits only for the last of them.
constexpr uint64_t kWritebackChunk = 8 << 20;
constexpr size_t kMinDirectRowBytes = 512;

uint32_t DecodeU32(const uint8_t* bytes) {
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

// Writes every byte at offset, or at the file position when offset is negative; 0 or errno.
int WriteAll(int fd, const uint8_t* data, size_t size, int64_t offset) {
    while (size > 0) {
        const ssize_t written = offset < 0 ? ::write(fd, data, size)
                                           : ::pwrite(fd, data, size, static_cast<off_t>(offset));
        if (written < 0) {
            if (errno != EINTR)
                return errno;
            continue;
        }
        data += written;
        size -= static_cast<size_t>(written);
        if (offset >= 0)
            offset += written;
    }
    return 0;
}

mode_t CurrentUmask() {
    mode_t mask = umask(0);
    umask(mask);
    return mask;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

constexpr size_t kTemporaryNameKeeps = NAME_MAX - 16; // "." and ".saving-XXXXXX"
constexpr int kMaxLinksFollowed = 40;                 // as the system's own limit

// The file a chain of symbolic links ends at (a relative link counts from its own folder);
// `path` itself when it is no link. False for a loop.
bool FollowLinks(const std::string& path, std::string& target) {
    target = path;
    for (int followed = 0; followed <= kMaxLinksFollowed; ++followed) {
        std::error_code error;
        std::filesystem::path next = std::filesystem::read_symlink(target, error);
        if (error)
            return true; // not a link (or not there): the chain ends here
        target = next.is_absolute() ? next.string() : FolderOf(target) + "/" + next.string();
    }
    return false;
}

} // namespace

// --- ByteSource ----------------------------------------------------------------------

bool ByteSource::ReadU32(uint32_t& value) {
    uint8_t bytes[4];
    if (!Read(bytes, sizeof bytes))
        return false;
    value = DecodeU32(bytes);
    return true;
}

bool ByteSource::ReadI32(int32_t& value) {
    uint32_t raw = 0;
    if (!ReadU32(raw))
        return false;
    value = static_cast<int32_t>(raw);
    return true;
}

bool ByteSource::ReadRows(uint8_t* first, size_t rowBytes, size_t stride, size_t rows) {
    for (size_t row = 0; row < rows; ++row) {
        if (!Read(first + row * stride, rowBytes))
            return false;
    }
    return true;
}

bool MemorySource::Read(void* target, size_t size) {
    if (size > size_ - position_) {
        position_ = size_;
        return false;
    }
    std::memcpy(target, data_ + position_, size);
    position_ += size;
    return true;
}

// --- FileSource ----------------------------------------------------------------------

std::unique_ptr<FileSource> FileSource::Open(const std::string& path) {
    // Without O_NONBLOCK, opening a FIFO waits for a writer that may never come; the flag is
    // cleared again once the file is known to be a regular one.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return nullptr;
    struct stat info {};
    int flags = fcntl(fd, F_GETFL);
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || flags < 0 ||
        fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) != 0) {
        ::close(fd);
        return nullptr;
    }
    return std::unique_ptr<FileSource>(new FileSource(fd, static_cast<uint64_t>(info.st_size)));
}

FileSource::FileSource(int fd, uint64_t size) : fd_(fd), remaining_(size) {
    posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
}

FileSource::~FileSource() {
    ::close(fd_);
}

bool FileSource::Fill() {
    bufferPosition_ = bufferEnd_ = 0;
    if (!buffer_) {
        // Small files get a small buffer.
        bufferSize_ = static_cast<size_t>(std::min<uint64_t>(kChunkSize, remaining_));
        buffer_.reset(new uint8_t[bufferSize_]);
    }
    while (true) {
        ssize_t got = ::read(fd_, buffer_.get(), bufferSize_);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        bufferEnd_ = static_cast<size_t>(got);
        return true;
    }
}

bool FileSource::Read(void* target, size_t size) {
    if (size > remaining_) {
        remaining_ = 0;
        return false;
    }
    auto* out = static_cast<uint8_t*>(target);
    while (size > 0) {
        size_t buffered = bufferEnd_ - bufferPosition_;
        if (buffered > 0) {
            size_t take = std::min(buffered, size);
            std::memcpy(out, buffer_.get() + bufferPosition_, take);
            bufferPosition_ += take;
            out += take;
            size -= take;
            remaining_ -= take;
            continue;
        }
        if (size >= kChunkSize) {
            // Large blocks skip the buffer.
            ssize_t got = ::read(fd_, out, size);
            if (got < 0 && errno == EINTR)
                continue;
            if (got <= 0) {
                remaining_ = 0;
                return false;
            }
            out += got;
            size -= static_cast<size_t>(got);
            remaining_ -= static_cast<uint64_t>(got);
            continue;
        }
        if (!Fill()) {
            remaining_ = 0; // the file shrank while it was read
            return false;
        }
    }
    return true;
}

bool FileSource::ReadRows(uint8_t* first, size_t rowBytes, size_t stride, size_t rows) {
    // Short rows would make one system call per few bytes; the buffer serves them better.
    if (rowBytes < kMinDirectRowBytes)
        return ByteSource::ReadRows(first, rowBytes, stride, rows);
    if (rows > 0 && (rowBytes > remaining_ || rows > remaining_ / rowBytes)) {
        remaining_ = 0;
        return false;
    }
    size_t row = 0;
    // What the buffer already holds is handed out first, row by row.
    while (row < rows && bufferEnd_ > bufferPosition_) {
        const size_t take = std::min(bufferEnd_ - bufferPosition_, rowBytes);
        if (!Read(first + row * stride, take))
            return false;
        if (take < rowBytes) // the rest of a row that straddles the buffer's end
            return ReadRowsDirect(first + row * stride + take, rowBytes - take, 0, 1) &&
                   ReadRowsDirect(first + (row + 1) * stride, rowBytes, stride, rows - row - 1);
        ++row;
    }
    return ReadRowsDirect(first + row * stride, rowBytes, stride, rows - row);
}

// Reads rows with readv, up to IOV_MAX at a time; the buffer is empty when this runs.
bool FileSource::ReadRowsDirect(uint8_t* first, size_t rowBytes, size_t stride, size_t rows) {
    constexpr size_t kMaxSegments = IOV_MAX;
    iovec segments[kMaxSegments];
    size_t row = 0;
    size_t done = 0; // bytes of `row` already read
    while (row < rows) {
        size_t count = 0;
        for (size_t r = row; r < rows && count < kMaxSegments; ++r, ++count) {
            const size_t skip = r == row ? done : 0;
            segments[count] = {first + r * stride + skip, rowBytes - skip};
        }
        ssize_t got = ::readv(fd_, segments, static_cast<int>(count));
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            remaining_ = 0; // the file shrank while it was read
            return false;
        }
        remaining_ -= static_cast<uint64_t>(got);
        const size_t advanced = done + static_cast<size_t>(got);
        row += advanced / rowBytes;
        done = advanced % rowBytes;
    }
    return true;
}

// --- FileWriter ----------------------------------------------------------------------

std::unique_ptr<FileWriter>
FileWriter::CreateReplacing(const std::string& path, std::string* failure, unsigned newFileMode) {
    auto fail = [failure](const std::string& reason) {
        if (failure)
            *failure = CannotCreateFileMessage(reason);
        return nullptr;
    };
    std::string target;
    if (!FollowLinks(path, target))
        return fail(FileErrorReason(ELOOP));
    struct stat existing {};
    mode_t mode = static_cast<mode_t>(newFileMode) & 0777 & ~CurrentUmask();
    bool replacesFile = ::stat(target.c_str(), &existing) == 0;
    if (replacesFile) {
        if (S_ISDIR(existing.st_mode))
            return fail(FileErrorReason(EISDIR));
        // No write permission at all counts for every user, the superuser too.
        if ((existing.st_mode & 0222) == 0 || ::access(target.c_str(), W_OK) != 0)
            return fail(kReadOnlyFileReason);
        mode = existing.st_mode & 07777;
    }

    size_t slash = target.find_last_of('/');
    std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
    if (name.size() > NAME_MAX)
        return fail(FileErrorReason(ENAMETOOLONG));
    // Shortened so that every name the folder takes also leaves room for its temporary twin.
    std::string temporary =
        FolderOf(target) + "/." + name.substr(0, kTemporaryNameKeeps) + ".saving-XXXXXX";
    int fd = mkostemp(temporary.data(), O_CLOEXEC); // created exclusively
    if (fd < 0)
        return fail(FileErrorReason(errno));
    if (fchmod(fd, mode) != 0) {
        int error = errno;
        ::close(fd);
        ::unlink(temporary.c_str());
        return fail(FileErrorReason(error));
    }
    return std::unique_ptr<FileWriter>(new FileWriter(fd, temporary, target, replacesFile));
}

FileWriter::FileWriter(int fd, std::string temporaryPath, std::string targetPath, bool replacesFile)
    : fd_(fd), temporaryPath_(std::move(temporaryPath)), targetPath_(std::move(targetPath)),
      replacesFile_(replacesFile), buffer_(new uint8_t[kChunkSize]) {
    RegisterUnfinishedFile(temporaryPath_);
}

FileWriter::~FileWriter() {
    if (committed_)
        return;
    if (fd_ >= 0)
        ::close(fd_);
    ::unlink(temporaryPath_.c_str());
    UnregisterUnfinishedFile(temporaryPath_);
}

std::string FileWriter::CommitFailureMessage(int error) const {
    std::string reason = FileErrorReason(error);
    if (replacesFile_)
        reason += std::string(" ") + kPreviousFileKeptNote;
    return CannotCreateFileMessage(reason);
}

void FileWriter::WriteOut(const uint8_t* data, size_t size) {
    if (error_ == 0)
        error_ = WriteAll(fd_, data, size, -1);
    fileSize_ += size;
    if (fileSize_ - writebackStart_ >= kWritebackChunk) {
        // Only starts the writing; a failure shows in the sync of Commit.
        sync_file_range(fd_, static_cast<off_t>(writebackStart_),
                        static_cast<off_t>(fileSize_ - writebackStart_), SYNC_FILE_RANGE_WRITE);
        writebackStart_ = fileSize_;
    }
}

void FileWriter::Flush() {
    WriteOut(buffer_.get(), used_);
    used_ = 0;
}

void FileWriter::Write(const void* data, size_t size) {
    if (error_ != 0)
        return;
    auto* bytes = static_cast<const uint8_t*>(data);
    if (used_ + size > kChunkSize)
        Flush();
    if (size >= kChunkSize) {
        WriteOut(bytes, size);
        return;
    }
    std::memcpy(buffer_.get() + used_, bytes, size);
    used_ += size;
}

void FileWriter::WriteAt(uint64_t offset, const void* data, size_t size) {
    Flush();
    if (error_ == 0)
        error_ =
            WriteAll(fd_, static_cast<const uint8_t*>(data), size, static_cast<int64_t>(offset));
}

void FileWriter::WriteU32(uint32_t value) {
    const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                              static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    Write(bytes, sizeof bytes);
}

int FileWriter::Commit() {
    Flush();
    if (error_ == 0 && fsync(fd_) != 0)
        error_ = errno;
    if (::close(fd_) != 0 && error_ == 0)
        error_ = errno;
    fd_ = -1;
    if (error_ == 0 && std::rename(temporaryPath_.c_str(), targetPath_.c_str()) != 0)
        error_ = errno;
    if (error_ != 0)
        return error_;
    committed_ = true;
    UnregisterUnfinishedFile(temporaryPath_);
    // Make the new directory entry durable too; the data already is.
    int folder = ::open(FolderOf(targetPath_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        fsync(folder);
        ::close(folder);
    }
    return 0;
}
