// How the project's texts (object texts, font names) are read. The editor stores UTF-8; files
// of older versions hold the Windows code page 1252. The editor, the object list and the movie
// all decode through here so that they show the same characters.
#pragma once

#include <cstdint>
#include <string>

inline constexpr char32_t kReplacementCharacter = 0xFFFD;

// The character of a Windows-1252 byte; the five bytes the code page leaves unassigned give
// U+FFFD.
char32_t Windows1252ToUnicode(uint8_t byte);

// The Windows-1252 byte of a character, or -1 when the code page has none for it.
int32_t UnicodeToWindows1252(char32_t character);

// The characters of a project text: its bytes read as UTF-8 when they are valid UTF-8, else
// as Windows-1252. A null text is empty.
std::u32string ProjectTextCharacters(const char* text);

// The same text as UTF-8, for interfaces that take names in UTF-8.
std::string ProjectTextUtf8(const char* text);
