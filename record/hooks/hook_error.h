#pragma once

#include <stdexcept>

// A hook channel could not be installed; carries only its message.
class HookError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
