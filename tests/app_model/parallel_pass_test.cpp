#include "app_model/parallel_pass.h"

#include "app_model/background_work.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace vellumark {
namespace {

TEST(ParallelPassTest, EveryIndexOnceOnANumberedThreadPassAfterPass) {
    for (const unsigned threads : {0U, 1U, 3U}) {
        SCOPED_TRACE(threads);
        ParallelPass pass(threads);
        for (const std::size_t count : {0UL, 1UL, 2UL, 1000UL}) {
            std::vector<std::atomic<int>> seen(count);
            std::atomic<bool> badThread = false;
            pass.start(count, [&](std::size_t index, unsigned thread) {
                seen[index].fetch_add(1);
                badThread = badThread || thread >= std::max(threads, 1U);
            });
            pass.wait();
            for (std::size_t index = 0; index < count; ++index) {
                ASSERT_EQ(seen[index].load(), 1) << count << " " << index;
            }
            EXPECT_FALSE(badThread);
        }
    }
}

// Side by side or one after the other, both parts run once; a failure of the second part reaches the
// caller only after the first part is done.
TEST(ParallelPassTest, SideBySideRunsBothPartsAndPassesOnTheSecondsFailure) {
    for (const bool together : {false, true}) {
        SCOPED_TRACE(together);
        std::thread::id firstOn;
        std::thread::id secondOn;
        runSideBySide(
            together, [&] { firstOn = std::this_thread::get_id(); },
            [&] { secondOn = std::this_thread::get_id(); });
        EXPECT_EQ(firstOn, std::this_thread::get_id());
        EXPECT_EQ(secondOn != firstOn, together);

        bool firstDone = false;
        EXPECT_THROW(runSideBySide(
                         together, [&] { firstDone = true; }, [] { throw std::runtime_error("no"); }),
                     std::runtime_error);
        EXPECT_TRUE(firstDone);
    }
}

// Threads that work in the background give way to the window's thread, all by the same step, threads
// made by background work included; side-by-side helpers, whose caller waits for them, keep its priority.
TEST(ParallelPassTest, WorkersRunAStepBelowTheCallersPriority) {
    const auto niceness = [] { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); };
    const int callers = niceness();
    if (callers > 14) {
        GTEST_SKIP() << "too near the lowest priority";
    }
    std::atomic<int> passes = callers;
    ParallelPass pass(2);
    pass.start(2, [&](std::size_t, unsigned) { passes = niceness(); });
    pass.wait();
    int background = callers;
    std::atomic<int> nested = callers;
    {
        BackgroundWork work([](const std::function<void()>&) {});
        work.start([&](const std::stop_token&, const HandBack&) {
            background = niceness();
            ParallelPass inner(1);
            inner.start(1, [&](std::size_t, unsigned) { nested = niceness(); });
            inner.wait();
        });
    }
    int helper = -100;
    runSideBySide(
        true, [] {}, [&] { helper = niceness(); });
    if (passes == callers) {
        GTEST_SKIP() << "threads have no priority of their own here";
    }
    EXPECT_EQ(passes.load(), callers + 5);
    EXPECT_EQ(background, callers + 5);
    EXPECT_EQ(nested.load(), callers + 5);
    EXPECT_EQ(helper, callers);
    EXPECT_EQ(niceness(), callers);
}

}  // namespace
}  // namespace vellumark
