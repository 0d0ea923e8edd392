#include "swf/swf_assert.h"

#include <cstdio>
#include <cstdlib>

namespace swf_detail {

void AssertionFailed(const char* condition, const char* source, int line) {
    std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", condition, source, line);
    std::fflush(stderr);
    std::abort();
}

} // namespace swf_detail
