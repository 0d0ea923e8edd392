// The HTML code that embeds a movie, and the page saved next to it.
#pragma once

#include "model/result.h"

#include <string>
#include <vector>

// The ten lines of embedding code for a movie file shown at width x height pixels.
// movieName is the file name without its folder; it is percent-encoded as an address and
// then escaped for the attribute values.
std::vector<std::string> MovieHtmlLines(const std::string& movieName, int width, int height);

// The file name part of a path (everything after the last '/').
std::string FileNamePart(const std::string& path);

// The page's file name: the movie's full name with the extension of its file name part
// (from the last dot on) replaced by ".htm"; a dot in a folder name is not an extension.
std::string HtmlPageName(const std::string& movieFileName);

// Writes lines to fileName, each ended by CR LF, through a temporary file renamed over the
// target. A failure (the previous file intact) says why, for users.
Result SaveHtmlPage(const std::string& fileName, const std::vector<std::string>& lines);
