// Where the running program lives: its libraries, hooks and user guide sit next to it.
#pragma once

#include <string>

// The folder of the running executable, ending in '/'; "./" when it cannot be found.
std::string ExecutableFolder();
