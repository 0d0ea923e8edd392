#include "imaging/pictavo.h"

#include <dlfcn.h>

namespace {

PictavoLibrary boundLibrary;
void* libraryHandle = nullptr;

template <typename Fn> bool Bind(void* handle, const char* name, Fn& slot) {
    slot = reinterpret_cast<Fn>(dlsym(handle, name));
    return slot != nullptr;
}

} // namespace

bool LoadPictavo(const std::string& programFolder) {
    std::string path = programFolder;
    if (!path.empty() && path.back() != '/')
        path += '/';
    path += "libPictavo.so";

    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle)
        return false;
    PictavoLibrary library;
    // The order of the look-ups is the order the start-up has always used.
    const bool complete =
        Bind(handle, "OpenDib", library.OpenDib) && Bind(handle, "deldib", library.deldib) &&
        Bind(handle, "SaveDib", library.SaveDib) && Bind(handle, "newdib", library.newdib) &&
        Bind(handle, "SetJPEGQual", library.SetJPEGQual) &&
        Bind(handle, "getpixel", library.getpixel) && Bind(handle, "setpixel", library.setpixel);
    if (!complete) {
        dlclose(handle);
        return false;
    }
    Bind(handle, "ReserveDibMemory", library.ReserveDibMemory);
    Bind(handle, "SaveDibAtQuality", library.SaveDibAtQuality);
    // An earlier library stays mapped: images it made may still be around.
    libraryHandle = handle;
    boundLibrary = library;
    return true;
}

const PictavoLibrary& Pictavo() {
    return boundLibrary;
}

bool PictavoLoaded() {
    return libraryHandle != nullptr;
}
