#include "movie/publish.h"

#include <cstdio>

namespace {

// The installer of the player's ActiveX control and the plug-in download page: the
// generic addresses that embedding code has always carried.
constexpr const char* kActiveXDownload =
    "https://fpdownload.macromedia.com/pub/shockwave/cabs/flash/swflash.cab#version=4,0,2,0";
constexpr const char* kPluginDownloadPage = "https://www.adobe.com/go/getflashplayer";

std::string EscapeAttribute(const std::string& text) {
    std::string escaped;
    for (char c : text) {
        switch (c) {
        case '&':
            escaped += "&amp;";
            break;
        case '"':
            escaped += "&quot;";
            break;
        case '<':
            escaped += "&lt;";
            break;
        case '>':
            escaped += "&gt;";
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

std::vector<std::string> MovieHtmlLines(const std::string& movieName, int width, int height) {
    const std::string name = EscapeAttribute(movieName);
    const std::string w = std::to_string(width);
    const std::string h = std::to_string(height);
    return {
        "<object classid=\"clsid:D27CDB6E-AE6D-11cf-96B8-444553540000\" codebase=",
        std::string("\"") + kActiveXDownload + "\"",
        "width=\"" + w + "\" height=\"" + h + "\">",
        "<param name=\"movie\" value=\"" + name + "\">",
        "<param name=\"quality\" value=\"high\">",
        "<embed src=\"" + name + "\" quality=\"high\" pluginspage=",
        std::string("\"") + kPluginDownloadPage + "\"",
        "type=\"application/x-shockwave-flash\" width=\"" + w + "\" height=\"" + h + "\">",
        "</embed>",
        "</object>",
    };
}

std::string FileNamePart(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string HtmlPageName(const std::string& movieFileName) {
    size_t slash = movieFileName.find_last_of('/');
    size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    size_t dot = movieFileName.find_last_of('.');
    if (dot == std::string::npos || dot < nameStart)
        return movieFileName + ".htm";
    return movieFileName.substr(0, dot) + ".htm";
}

bool SaveHtmlPage(const std::string& fileName, const std::vector<std::string>& lines) {
    std::FILE* file = std::fopen(fileName.c_str(), "wb");
    if (!file)
        return false;
    bool ok = true;
    for (const std::string& line : lines) {
        ok = ok && std::fwrite(line.data(), 1, line.size(), file) == line.size();
        ok = ok && std::fwrite("\r\n", 1, 2, file) == 2;
    }
    return std::fclose(file) == 0 && ok;
}
