// Planning cost: changeCount over n items against a baseline pass that reads each item's two dates and
// the clock once. Prints nanoseconds per item and the ratio; the targets are a ratio of at most 3 and
// linear growth (1,000,000 items at most 12 times the cost of 100,000).
#include "model/planner.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using namespace vellumark;
using Nanoseconds = std::chrono::duration<double, std::nano>;

// Half the items on an ext4 volume (creation kept, dates until 2446), half on one without limits, so
// that planning looks at the volume of every item.
std::vector<FileItem> makeItems(std::size_t count) {
    VolumeCapabilities ext4;
    ext4.fileSystem = "ext4";
    ext4.canWriteCreation = false;
    ext4.earliest = Date::fromParts(-2'147'483'648);
    ext4.latest = Date::fromParts(15'032'385'535);
    const VolumeCapabilities& sharedExt4 = VolumeCapabilities::shared(ext4);

    std::vector<FileItem> items;
    items.reserve(count);
    const Date base = Date::fromParts(1'600'000'000, 123'456'789);
    for (std::size_t i = 0; i < count; ++i) {
        const auto offset = static_cast<std::int64_t>(i);
        items.emplace_back("/home/user/Pictures/holiday/IMG_" + std::to_string(i) + ".jpg",
                           base.addingSeconds(offset), base.addingSeconds(offset * 3 - 5'000));
        if (i % 2 == 0) {
            items.back().volume = sharedExt4;
        }
    }
    return items;
}

template <typename Pass>
double fastestOf(int repetitions, Pass&& pass) {
    double best = 1e300;
    for (int i = 0; i < repetitions; ++i) {
        const auto start = std::chrono::steady_clock::now();
        pass();
        best = std::min(best, Nanoseconds(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

// Touches what any plan must touch: both dates of every item and one clock reading.
std::size_t baselinePass(const std::vector<FileItem>& items, const Clock& clock) {
    std::size_t sink = 0;
    for (const FileItem& item : items) {
        const Date now = clock();
        sink += static_cast<std::size_t>(item.creationDate.value_or(now).seconds() ^
                                         item.modificationDate.value_or(now).nanoseconds());
    }
    return sink;
}

}  // namespace

int main() {
    ActionConfig config;
    config.kind = DateActionKind::shift;
    config.shiftDays = 1;
    config.shiftHours = 2;
    const Clock clock = systemClock();

    std::printf("%10s %14s %14s %8s\n", "items", "changeCount", "baseline", "ratio");
    double perItemAt100k = 0;
    double totalAt100k = 0;
    bool ok = true;
    volatile std::size_t sink = 0;
    for (const std::size_t count : {10'000u, 100'000u, 1'000'000u}) {
        const std::vector<FileItem> items = makeItems(count);
        const int repetitions = count >= 1'000'000 ? 5 : 20;
        const double planned =
            fastestOf(repetitions, [&] { sink = sink + changeCount(items, config, clock); });
        const double baseline = fastestOf(repetitions, [&] { sink = sink + baselinePass(items, clock); });
        const double ratio = planned / baseline;
        std::printf("%10zu %11.1f ns %11.1f ns %8.2f\n", count, planned / static_cast<double>(count),
                    baseline / static_cast<double>(count), ratio);
        std::printf("target: plan-%zu-vs-read %.2f <= 3 %s\n", count, ratio, ratio <= 3.0 ? "ok" : "MISSED");
        ok = ok && ratio <= 3.0;
        if (count == 100'000) {
            perItemAt100k = planned / static_cast<double>(count);
            totalAt100k = planned;
        }
        if (count == 1'000'000) {
            const double growth = planned / totalAt100k;
            std::printf(
                "1,000,000 items cost %.2f times 100,000 (target at most 12; %.1f ns against %.1f ns per "
                "item)\n",
                growth, planned / static_cast<double>(count), perItemAt100k);
            std::printf("target: plan-1M-vs-100k %.2f <= 12 %s\n", growth, growth <= 12.0 ? "ok" : "MISSED");
            ok = ok && growth <= 12.0;
        }
    }
    std::printf("%s\n", ok ? "targets met" : "TARGETS MISSED");
    return ok ? 0 : 1;
}
