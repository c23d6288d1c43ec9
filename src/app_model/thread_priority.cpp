#include "app_model/thread_priority.h"

#if defined(__linux__)
#include <algorithm>
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vellumark {

#if defined(__linux__)
// Linux gives each thread its own nice value, and a new thread starts with its maker's. Five steps below
// the process's first thread, which runs the window, give a busy worker about a third of the processor
// time the window's thread gets when both want it; counted from there rather than from the calling
// thread, so that threads made by background work sit no lower than the work itself.
void runInBackground() {
    constexpr int kSteps = 5;
    constexpr int kLowest = 19;
    errno = 0;
    const int foreground = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    if (errno != 0) {
        return;
    }
    const auto self = static_cast<id_t>(::gettid());
    const int now = ::getpriority(PRIO_PROCESS, self);
    const int wanted = std::min(foreground + kSteps, kLowest);
    if (errno == 0 && now < wanted) {
        ::setpriority(PRIO_PROCESS, self, wanted);  // at worst the thread keeps its priority
    }
}
#else
void runInBackground() {}
#endif

}  // namespace vellumark
