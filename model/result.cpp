#include "model/result.h"

#include <cerrno>
#include <cstring>

std::string FileErrorReason(int error) {
    switch (error) {
    case ENOENT:
        return "The folder does not exist.";
    case ENOTDIR:
        return "A part of the path is a file, not a folder.";
    case EACCES:
    case EPERM:
        return "You may not write to this folder.";
    case EROFS:
        return "The folder is read-only.";
    case ENAMETOOLONG:
        return "The name is too long.";
    case EISDIR:
        return "A folder has this name.";
    case ENOSPC:
    case EDQUOT:
        return "The disk is full.";
    case EFBIG:
        return "The file is too large for this disk.";
    case ELOOP:
        return "The path has too many symbolic links.";
    default:
        return std::string(std::strerror(error)) + ".";
    }
}

std::string CannotCreateFileMessage(const std::string& reason) {
    return std::string(kCannotCreateFileMessage) + " (" + reason + ")";
}
