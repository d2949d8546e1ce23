// Priorities of the helper threads.
#include "core/thread_priority.h"

#include <algorithm>
#include <cerrno>

#if defined(__linux__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif

namespace tarvex {

void yieldToLoopThread() {
#if defined(__linux__)
    const auto self = static_cast<id_t>(syscall(SYS_gettid));
    errno = 0;
    const int now = getpriority(PRIO_PROCESS, self);
    if (errno == 0) setpriority(PRIO_PROCESS, self, std::min(now + kHelperNiceness, 19));
#endif
}

} // namespace tarvex
