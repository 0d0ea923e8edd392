#include "movie/publish.h"

#include "model/byte_stream.h"

#include <memory>
#include <string_view>

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

// The name as a relative address: bytes that would end the path or change its meaning ('#',
// '?', '%', spaces, controls, non-ASCII) are percent-encoded; '/' stays.
std::string EncodeUrlPath(const std::string& name) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string encoded;
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') ||
                           (byte >= '0' && byte <= '9') ||
                           std::string_view("-._~/").find(c) != std::string_view::npos;
        if (plain) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

} // namespace

std::vector<std::string> MovieHtmlLines(const std::string& movieName, int width, int height) {
    const std::string name = EscapeAttribute(EncodeUrlPath(movieName));
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

Result SaveHtmlPage(const std::string& fileName, const std::vector<std::string>& lines) {
    // Written beside the target and renamed over it: a failed save keeps the old page.
    std::string failure;
    std::unique_ptr<FileWriter> file = FileWriter::CreateReplacing(fileName, &failure);
    if (!file)
        return Result::Failure(failure);
    for (const std::string& line : lines) {
        file->Write(line.data(), line.size());
        file->Write("\r\n", 2);
    }
    if (int error = file->Commit())
        return Result::Failure(file->CommitFailureMessage(error));
    return {};
}
