#include "movie/temp_file.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

std::string TemporaryFolder() {
    const char* folder = std::getenv("TMPDIR");
    std::string result = (folder && *folder) ? folder : "/tmp";
    if (result.back() != '/')
        result += '/';
    return result;
}

std::string MakeTempFileName(const std::string& prefix, const std::string& extension) {
    const std::string folder = TemporaryFolder();
    // Bounded so that an unwritable folder cannot keep us looping.
    constexpr int kMaxAttempts = 1000000;
    for (int number = 0; number < kMaxAttempts; ++number) {
        std::string name = folder + prefix + std::to_string(number) + extension;
        int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0) {
            ::close(fd);
            return name;
        }
        if (errno != EEXIST)
            return {};
    }
    return {};
}
