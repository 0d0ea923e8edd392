// Project files written byte by byte, and small file helpers, for the model's tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class FmoBytes {
public:
    std::vector<uint8_t> data;

    FmoBytes& U32(uint32_t value);
    FmoBytes& I32(int32_t value) { return U32(static_cast<uint32_t>(value)); }
    FmoBytes& Raw(const std::string& bytes);
    // Length (with the zero byte) followed by the characters and their zero byte.
    FmoBytes& String(const std::string& text);
    FmoBytes& Magic();
    FmoBytes& Header(int32_t width, int32_t height, uint32_t fps, uint32_t objectCount);
    // Kind, Shape, Text, FontName, flag and both states of a default-looking object.
    FmoBytes& ObjectHead(int32_t kind, int32_t shape, const std::string& text,
                         const std::string& font, int32_t flag);
    FmoBytes& State(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t time);
    size_t size() const { return data.size(); }
};

// A fresh folder under the temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    std::string Path(const std::string& name) const { return path_ + "/" + name; }
    const std::string& path() const { return path_; }
    std::vector<std::string> Names() const;

private:
    std::string path_;
};

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadFileBytes(const std::string& path);

struct RunResult {
    int exitCode;
    std::string out;
    std::string err;
};

// Runs the built clipmoor-cli with `arguments` (quoted for the shell by the caller); its
// error output goes through a file in folder.
RunResult RunCli(const std::string& arguments, const ScratchFolder& folder);
