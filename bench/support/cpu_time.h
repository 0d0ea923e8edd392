// Processor time for the benchmarks that report what a recording costs.
#pragma once

#include <sys/resource.h>
#include <sys/types.h>
#include <time.h>

// CPU seconds (user + system) in a usage report.
inline double CpuSeconds(const rusage& usage) {
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// CPU seconds of this process, every thread included.
inline double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return CpuSeconds(usage);
}

// CPU seconds of another running process (every thread, not its children); -1 when it
// cannot be read.
inline double ProcessCpuSeconds(pid_t pid) {
    clockid_t clock;
    timespec spent{};
    if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &spent) != 0)
        return -1;
    return double(spent.tv_sec) + double(spent.tv_nsec) * 1e-9;
}
