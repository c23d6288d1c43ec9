#include "app_model/thread_priority.h"

#if defined(__linux__)
#include <cerrno>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace vellumark {

#if defined(__linux__)
// Linux gives each thread its own nice value. Five steps give a busy worker about a third of the
// processor time the window's thread gets when both want it, and keep it well above idle work.
void runInBackground() {
    constexpr int kSteps = 5;
    const auto self = static_cast<id_t>(::gettid());
    errno = 0;
    const int now = ::getpriority(PRIO_PROCESS, self);
    if (errno == 0) {
        ::setpriority(PRIO_PROCESS, self, now + kSteps);  // at worst the thread keeps its priority
    }
}
#else
void runInBackground() {}
#endif

}  // namespace vellumark
