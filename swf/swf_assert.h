#pragma once

// Contract checks of the SWF library. They are active unless NDEBUG is defined and report the
// failed condition together with the source it guards, then abort.
#ifdef NDEBUG
#define SWF_ASSERT(condition, source) ((void)sizeof(condition), (void)(source))
#else
#define SWF_ASSERT(condition, source)                                                              \
    ((condition) ? (void)0 : ::swf_detail::AssertionFailed(#condition, source, __LINE__))
#endif

namespace swf_detail {
[[noreturn]] void AssertionFailed(const char* condition, const char* source, int line);
}
