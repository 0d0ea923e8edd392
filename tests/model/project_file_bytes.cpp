#include "project_file_bytes.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

FmoBytes& FmoBytes::U32(uint32_t value) {
    for (int shift = 0; shift < 32; shift += 8)
        data.push_back(static_cast<uint8_t>(value >> shift));
    return *this;
}

FmoBytes& FmoBytes::Raw(const std::string& bytes) {
    data.insert(data.end(), bytes.begin(), bytes.end());
    return *this;
}

FmoBytes& FmoBytes::String(const std::string& text) {
    U32(static_cast<uint32_t>(text.size() + 1));
    Raw(text);
    data.push_back(0);
    return *this;
}

FmoBytes& FmoBytes::Magic() {
    Raw("Vantrel Reelcraft-Pro 1.0");
    data.push_back(0);
    return *this;
}

FmoBytes& FmoBytes::Header(int32_t width, int32_t height, uint32_t fps, uint32_t objectCount) {
    return Magic().I32(width).I32(height).U32(fps).U32(0x00FFFFFF).U32(objectCount);
}

FmoBytes& FmoBytes::ObjectHead(int32_t kind, int32_t shape, const std::string& text,
                               const std::string& font, int32_t flag) {
    return I32(kind).I32(shape).String(text).String(font).I32(flag);
}

FmoBytes& FmoBytes::State(int32_t left, int32_t top, int32_t right, int32_t bottom, int32_t time) {
    return I32(left).I32(top).I32(right).I32(bottom).I32(24).I32(0).I32(time).I32(0).U32(
        0x80000008u);
}

ScratchFolder::ScratchFolder() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "clipmoor-model-XXXXXX").string();
    char* made = mkdtemp(pattern.data());
    EXPECT_NE(made, nullptr);
    path_ = pattern;
}

ScratchFolder::~ScratchFolder() {
    std::error_code error;
    std::filesystem::remove_all(path_, error);
}

std::vector<std::string> ScratchFolder::Names() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

RunResult RunCli(const std::string& arguments, const ScratchFolder& folder) {
    std::string errPath = folder.Path("stderr.txt");
    std::string command = std::string("'") + CLIPMOOR_PROGRAM_DIR + "/clipmoor-cli' " + arguments +
                          " 2>'" + errPath + "'";
    RunResult result{-1, {}, {}};
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe)
        return result;
    char chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, pipe)) > 0)
        result.out.append(chunk, got);
    int status = pclose(pipe);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    std::vector<uint8_t> err = ReadFileBytes(errPath);
    result.err.assign(err.begin(), err.end());
    return result;
}
