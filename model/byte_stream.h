// Buffered little-endian reading and writing for the project file. Sources know how many
// bytes are left, so a reader can check a count against what the file can still hold before
// it reserves anything.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

class ByteSource {
public:
    virtual ~ByteSource() = default;
    // Copies exactly `size` bytes or returns false (the source is then exhausted).
    virtual bool Read(void* target, size_t size) = 0;
    // Bytes not yet read.
    virtual uint64_t Remaining() const = 0;

    // Reads `rows` rows of `rowBytes` each into memory whose rows start `stride` bytes apart
    // (stride >= rowBytes), or returns false like Read. The gaps between rows are left alone.
    virtual bool ReadRows(uint8_t* first, size_t rowBytes, size_t stride, size_t rows);

    bool ReadU32(uint32_t& value);
    bool ReadI32(int32_t& value);
};

class MemorySource final : public ByteSource {
public:
    MemorySource(const uint8_t* data, size_t size) : data_(data), size_(size) {}
    bool Read(void* target, size_t size) override;
    uint64_t Remaining() const override { return size_ - position_; }

private:
    const uint8_t* data_;
    size_t size_;
    size_t position_ = 0;
};

// Reads a regular file in large chunks; large reads go straight into the caller's memory.
class FileSource final : public ByteSource {
public:
    // Null when the path cannot be opened for reading or is not a regular file.
    static std::unique_ptr<FileSource> Open(const std::string& path);
    ~FileSource() override;
    bool Read(void* target, size_t size) override;
    // Long rows go from the file straight into place, without a copy through the buffer.
    bool ReadRows(uint8_t* first, size_t rowBytes, size_t stride, size_t rows) override;
    uint64_t Remaining() const override { return remaining_; }

private:
    FileSource(int fd, uint64_t size);
    bool Fill();
    bool ReadRowsDirect(uint8_t* first, size_t rowBytes, size_t stride, size_t rows);

    int fd_;
    uint64_t remaining_; // bytes of the file not yet handed out
    std::unique_ptr<uint8_t[]> buffer_;
    size_t bufferSize_ = 0;
    size_t bufferPosition_ = 0;
    size_t bufferEnd_ = 0;
};

// Writes a new file next to the target and puts it in the target's place only when every
// byte reached the disk, so a failed save never destroys the previous file. Saving through
// a symbolic link writes the file it points to and keeps the link.
class FileWriter {
public:
    // Null when the file cannot be made (folder missing or not writable, a folder or a
    // read-only file in the way, name too long); `failure` then says why, for users. A new
    // file gets newFileMode less the umask; a replaced one keeps its mode.
    static std::unique_ptr<FileWriter> CreateReplacing(const std::string& path,
                                                       std::string* failure = nullptr,
                                                       unsigned newFileMode = 0666);
    ~FileWriter(); // removes the temporary file unless Commit succeeded
    FileWriter(const FileWriter&) = delete;
    FileWriter& operator=(const FileWriter&) = delete;

    void Write(const void* data, size_t size);
    void WriteU32(uint32_t value);
    void WriteI32(int32_t value) { WriteU32(static_cast<uint32_t>(value)); }
    // Overwrites bytes already written, from offset on (a header completed at the end).
    void WriteAt(uint64_t offset, const void* data, size_t size);

    // The file being written, for a writer that fills it by its name instead (FFmpeg's
    // muxers); Commit then syncs and renames what that writer left in it.
    const std::string& TemporaryPath() const { return temporaryPath_; }

    // Flushes, syncs and renames the file over the target. Returns 0 or the first errno.
    int Commit();
    // The message for a Commit that returned `error`; it says the previous file was kept
    // only when there was one.
    std::string CommitFailureMessage(int error) const;

private:
    FileWriter(int fd, std::string temporaryPath, std::string targetPath, bool replacesFile);
    void Flush();
    void WriteOut(const uint8_t* data, size_t size);

    int fd_;
    std::string temporaryPath_;
    std::string targetPath_;
    bool replacesFile_;                 // a file of that name was there before
    std::unique_ptr<uint8_t[]> buffer_; // not zero-filled: small saves touch only a little
    size_t used_ = 0;
    uint64_t fileSize_ = 0;       // bytes handed to write so far
    uint64_t writebackStart_ = 0; // the first of them not yet handed to the disk
    int error_ = 0;
    bool committed_ = false;
};
