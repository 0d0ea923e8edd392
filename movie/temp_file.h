// Names of scratch files in the system's temporary folder.
#pragma once

#include <string>

// The temporary folder ($TMPDIR, else /tmp), ending in '/'.
std::string TemporaryFolder();

// Creates and returns the first free file temporary folder + prefix + number + extension,
// trying the numbers 0, 1, 2, ... The file is created empty and exclusively, so an
// existing file or symbolic link of that name is never followed or reused. Returns an
// empty string when no file can be created.
std::string MakeTempFileName(const std::string& prefix, const std::string& extension);
