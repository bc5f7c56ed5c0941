#include "support/file_limit.h"

#ifndef _WIN32
#include <sys/resource.h>

#include <csignal>
#endif

namespace sonivel::test {

#ifdef _WIN32
bool CanLimitFileSize() { return false; }
void LimitFileSize(std::uint64_t) {}
void UnlimitFileSize() {}
#else
bool CanLimitFileSize() { return true; }

void LimitFileSize(std::uint64_t bytes) {
    std::signal(SIGXFSZ, SIG_IGN);  // a failed write, not the end of the process
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
}

void UnlimitFileSize() {
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = limit.rlim_max;
    setrlimit(RLIMIT_FSIZE, &limit);
}
#endif

}  // namespace sonivel::test
