#include "imaging/decoder_limits.h"

#include <cerrno>
#include <cstddef>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace pictavo {
namespace {

#if defined(__x86_64__)
constexpr uint32_t kAuditArch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr uint32_t kAuditArch = AUDIT_ARCH_AARCH64;
#else
#error "the decoder's system call filter knows no architecture for this build"
#endif

#if defined(__SANITIZE_ADDRESS__)
constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kAddressSanitizer = true;
#else
constexpr bool kAddressSanitizer = false;
#endif
#else
constexpr bool kAddressSanitizer = false;
#endif

bool SetLimit(int resource, rlim_t soft, rlim_t hard) {
    const rlimit limit{soft, hard};
    return setrlimit(resource, &limit) == 0;
}

// Refuses every way to a socket (socket, socketpair, io_uring, and on x86-64 the 32-bit
// ABIs' numbers) with EACCES; other calls pass.
bool DenyNetwork() {
    constexpr uint32_t kDeny = SECCOMP_RET_ERRNO | EACCES;
    sock_filter program[] = {
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, kAuditArch, 1, 0),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_KILL_PROCESS),
        BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#if defined(__x86_64__)
        BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000u, 3, 0), // x32 numbers
#else
        BPF_JUMP(BPF_JMP | BPF_JA, 0, 0, 0),
#endif
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_socket, 2, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_socketpair, 1, 0),
        BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, SYS_io_uring_setup, 0, 1),
        BPF_STMT(BPF_RET | BPF_K, kDeny),
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    };
    const sock_fprog filter{static_cast<unsigned short>(sizeof program / sizeof program[0]),
                            program};
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}

void CloseOtherDescriptors() {
    if (syscall(SYS_close_range, 3u, ~0u, 0u) == 0)
        return;
    const long highest = sysconf(_SC_OPEN_MAX);
    for (long fd = 3; fd < (highest > 0 ? highest : 1024); ++fd)
        close(static_cast<int>(fd));
}

} // namespace

bool ApplyDecoderLimits(const DecoderLimits& limits) {
    CloseOtherDescriptors();
    if (!SetLimit(RLIMIT_CORE, 0, 0))
        return false;
    // The soft limit sends SIGXCPU, the hard one a second later SIGKILL.
    if (limits.cpuSeconds > 0 &&
        !SetLimit(RLIMIT_CPU, rlim_t(limits.cpuSeconds), rlim_t(limits.cpuSeconds + 1)))
        return false;
    // The address sanitizer's shadow memory needs terabytes of address space.
    if (limits.memoryBytes > 0 && !kAddressSanitizer &&
        !SetLimit(RLIMIT_AS, rlim_t(limits.memoryBytes), rlim_t(limits.memoryBytes)))
        return false;
    if (limits.outputBytes > 0 &&
        !SetLimit(RLIMIT_FSIZE, rlim_t(limits.outputBytes), rlim_t(limits.outputBytes)))
        return false;
    return DenyNetwork();
}

} // namespace pictavo
