#pragma once

#include "swf/swf.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <unistd.h>
#include <vector>

// Upper-case hex bytes separated by spaces, the form the examples are written in.
inline std::string ToHex(const std::vector<uint8_t>& bytes) {
    static const char digits[] = "0123456789ABCDEF";
    std::string text;
    for (uint8_t b : bytes) {
        if (!text.empty()) {
            text += ' ';
        }
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// The content of a stream as the file would hold it (references included).
inline std::vector<uint8_t> StreamBytes(FSWFStream& stream) {
    std::FILE* file = std::tmpfile();
    EXPECT_NE(file, nullptr);
    EXPECT_TRUE(stream.WriteOut(file));
    std::vector<uint8_t> bytes(static_cast<size_t>(std::ftell(file)));
    std::rewind(file);
    EXPECT_EQ(std::fread(bytes.data(), 1, bytes.size(), file), bytes.size());
    std::fclose(file);
    return bytes;
}

inline std::string StreamHex(FSWFStream& stream) {
    return ToHex(StreamBytes(stream));
}

// The complete tag as written by an object.
inline std::string TagHex(FObj& tag) {
    FSWFStream out;
    tag.WriteTo(out);
    return StreamHex(out);
}

// What a stream holds after `write`, aligned to a whole byte.
inline std::string WrittenHex(const std::function<void(FSWFStream&)>& write) {
    FSWFStream out;
    write(out);
    out.Align();
    return StreamHex(out);
}

// One known encoding: what it shows, how it is written, and the bytes it must give.
struct GoldenBytes {
    const char* what;
    std::function<std::string()> written;
    const char* bytes;
};

inline void ExpectGoldenBytes(const std::vector<GoldenBytes>& table) {
    for (const GoldenBytes& row : table) {
        SCOPED_TRACE(row.what);
        EXPECT_EQ(row.written(), row.bytes);
    }
}

inline std::vector<uint8_t> ReadFileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A fresh folder for the files of one test, removed afterwards. The id counter restarts too, as
// it does for every movie.
class SwfTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetCharacterIds();
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = std::filesystem::temp_directory_path() /
              ("clipmoor-swf-" + std::string(info->test_suite_name()) + "-" + info->name() + "-" +
               std::to_string(::getpid()));
        std::filesystem::create_directories(dir);
    }
    void TearDown() override {
        std::filesystem::remove_all(dir);
        ResetCharacterIds();
    }
    std::string PathOf(const std::string& name) const { return (dir / name).string(); }

    std::filesystem::path dir;
};
