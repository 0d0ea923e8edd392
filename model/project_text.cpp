#include "model/project_text.h"

#include <cstring>

namespace {

// Windows-1252 differs from Latin-1 only in 0x80..0x9F; 0 marks the unassigned bytes.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// Decodes bytes as UTF-8; false when they are not valid UTF-8 (overlong forms, surrogates
// and values past U+10FFFF included).
bool DecodeUtf8(const unsigned char* bytes, size_t size, std::u32string& characters) {
    for (size_t i = 0; i < size;) {
        const unsigned char lead = bytes[i];
        size_t length = 0;
        char32_t value = 0;
        char32_t least = 0;
        if (lead < 0x80) {
            length = 1;
            value = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            value = lead & 0x1F;
            least = 0x80;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            value = lead & 0x0F;
            least = 0x800;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            value = lead & 0x07;
            least = 0x10000;
        } else {
            return false;
        }
        if (size - i < length)
            return false;
        for (size_t k = 1; k < length; ++k) {
            if ((bytes[i + k] & 0xC0) != 0x80)
                return false;
            value = value << 6 | (bytes[i + k] & 0x3F);
        }
        if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        characters.push_back(value);
        i += length;
    }
    return true;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | c >> 6));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | c >> 12));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | c >> 18));
        out.push_back(static_cast<char>(0x80 | (c >> 12 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c >> 6 & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

} // namespace

char32_t Windows1252ToUnicode(uint8_t byte) {
    if (byte < 0x80 || byte >= 0xA0)
        return byte;
    const char16_t mapped = kWindows1252High[byte - 0x80];
    return mapped ? mapped : kReplacementCharacter;
}

int32_t UnicodeToWindows1252(char32_t character) {
    if (character < 0x80 || (character >= 0xA0 && character <= 0xFF))
        return static_cast<int32_t>(character);
    for (int32_t i = 0; i < 32; ++i)
        if (kWindows1252High[i] != 0 && kWindows1252High[i] == character)
            return 0x80 + i;
    return -1;
}

std::u32string ProjectTextCharacters(const char* text) {
    std::u32string characters;
    if (!text)
        return characters;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    const size_t size = std::strlen(text);
    if (DecodeUtf8(bytes, size, characters))
        return characters;
    characters.clear();
    for (size_t i = 0; i < size; ++i)
        characters.push_back(Windows1252ToUnicode(bytes[i]));
    return characters;
}

std::string ProjectTextUtf8(const char* text) {
    std::string utf8;
    for (char32_t c : ProjectTextCharacters(text))
        AppendUtf8(c, utf8);
    return utf8;
}
