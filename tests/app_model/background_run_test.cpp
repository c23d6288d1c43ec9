#include "app_model/app_model.h"
#include "app_model/hand_back_queue.h"
#include "linux_fs/linux_file_access.h"
#include "support/scripted_open_panel.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <thread>

namespace vellumark {
namespace {

using testing::ScriptedOpenPanel;
using testing::TempFolder;

const Date kOld = Date::fromParts(1'500'000'000);
const Date kShifted = kOld.addingSeconds(3600);

// Real files, with a hook called on the worker thread before each write and each look.
class HookedFiles final : public FileAccess {
public:
    std::function<void(int write)> beforeWrite = [](int) {};
    std::function<void(int look)> beforeLook = [](int) {};

    Existence fileExists(const std::filesystem::path& path) const override { return real_.fileExists(path); }
    std::optional<DateAttributes> attributes(const std::filesystem::path& path) const override {
        return real_.attributes(path);
    }
    ItemInfo inspect(const std::filesystem::path& path) const override {
        beforeLook(looks_++);
        return real_.inspect(path);
    }
    bool enumerateDescendants(const std::filesystem::path& folder,
                              const std::function<void(const std::filesystem::path&)>& visit) const override {
        return real_.enumerateDescendants(folder, visit);
    }
    std::optional<std::string> setAttributes(const std::filesystem::path& path,
                                             const std::optional<ItemIdentity>& listed,
                                             const DateAttributes& dates) override {
        beforeWrite(writes_++);
        return real_.setAttributes(path, listed, dates);
    }
    WrittenItem writeAndInspect(const std::filesystem::path& path, const std::optional<ItemIdentity>& listed,
                                const DateAttributes& dates) override {
        beforeWrite(writes_++);
        return real_.writeAndInspect(path, listed, dates);
    }
    // With `concurrent`, a run writes several items at once, as it does through LinuxFileAccess itself.
    bool concurrent = false;
    bool takesConcurrentCalls() const override { return concurrent; }
    std::unique_ptr<WriteSession> writeSession() const override { return real_.writeSession(); }
    void enterWriterThread() const override { real_.enterWriterThread(); }
    WrittenItem writeInSession(WriteSession* session, const std::filesystem::path& path,
                               const std::optional<ItemIdentity>& listed,
                               const DateAttributes& dates) override {
        beforeWrite(writes_++);
        return real_.writeInSession(session, path, listed, dates);
    }

private:
    LinuxFileAccess real_;
    mutable std::atomic<int> looks_ = 0;
    std::atomic<int> writes_ = 0;
};

class BackgroundRunTest : public ::testing::Test {
protected:
    BackgroundRunTest() {
        for (int i = 0; i < 6; ++i) {
            paths_.push_back(temp_.file("f" + std::to_string(i), kOld));
        }
    }

    void finish() {
        ASSERT_TRUE(runUntil([this] { return !model_->isBusy(); }));
    }

    bool runUntil(const std::function<bool()>& done) {
        return owner_.runUntil(done, std::chrono::steady_clock::now() + std::chrono::seconds(20));
    }

    void listAndShiftByAnHour() {
        model_->addURLs(paths_);
        finish();
        model_->editConfig([](ActionConfig& config) {
            config.kind = DateActionKind::shift;
            config.fields = DateFieldSelection::modification;
            config.shiftHours = 1;
        });
    }

    // A new model lists the files afresh, at their old dates, and shifts them; the run is cancelled at
    // write `at` (never where it is negative).
    void applyCancellingAt(int at) {
        for (const auto& path : paths_) {
            TempFolder::setModification(path, kOld);
        }
        model_ = std::make_unique<AppModel>(files_, panel_, systemClock(), owner_.handBack());
        listAndShiftByAnHour();
        files_.beforeWrite = [this, at, writes = std::make_shared<std::atomic<int>>(0)](int) {
            if ((*writes)++ == at) {
                model_->cancel();
            }
        };
        model_->applyChanges();
        finish();
    }

    // Every item the result calls changed carries the new date on the disk and in the list; every other
    // item its old one.
    void expectListAndDiskAgree() {
        std::int64_t shifted = 0;
        for (const FileItem& item : model_->items()) {
            const std::optional<Date> onDisk = TempFolder::modification(item.url());
            EXPECT_EQ(item.modificationDate, onDisk) << item.path();
            EXPECT_TRUE(onDisk == kOld || onDisk == kShifted) << item.path();
            shifted += onDisk == kShifted ? 1 : 0;
        }
        ASSERT_TRUE(model_->lastResult());
        EXPECT_EQ(model_->lastResult()->succeeded, shifted);
        EXPECT_EQ(model_->lastResult()->succeeded + model_->lastResult()->notAttempted,
                  static_cast<std::int64_t>(model_->items().size()));
    }

    TempFolder temp_;
    std::vector<std::filesystem::path> paths_;
    HookedFiles files_;
    ScriptedOpenPanel panel_;
    HandBackQueue owner_;
    std::unique_ptr<AppModel> model_ =
        std::make_unique<AppModel>(files_, panel_, systemClock(), owner_.handBack());
};

TEST_F(BackgroundRunTest, AHeldRunLocksListAndSettingsAndCancelStopsAfterTheItemAtHand) {
    listAndShiftByAnHour();
    std::promise<void> release;
    std::atomic<bool> held = false;
    files_.beforeWrite = [&](int write) {
        if (write == 1) {
            held = true;
            release.get_future().wait();
        }
    };

    model_->applyChanges();
    ASSERT_TRUE(runUntil([&] { return held.load(); }));
    EXPECT_TRUE(model_->isProcessing());
    EXPECT_EQ(model_->activity(), Activity::applying);
    EXPECT_EQ(model_->progress().total, 6u);
    EXPECT_FALSE(model_->addURLs(std::vector<std::filesystem::path>{temp_.file("late")}));
    model_->removeAll();
    model_->editConfig([](ActionConfig& config) { config.shiftHours = 5; });
    EXPECT_EQ(model_->items().size(), 6u);
    EXPECT_EQ(model_->config().shiftHours, 1);

    model_->cancel();
    release.set_value();
    finish();

    EXPECT_FALSE(model_->isProcessing());
    EXPECT_EQ(model_->lastResult()->succeeded, 2);
    EXPECT_EQ(model_->lastResult()->notAttempted, 4);
    expectListAndDiskAgree();
}

TEST_F(BackgroundRunTest, CancellingAtAnyWriteLeavesListAndDiskAgreeing) {
    for (const int at : {0, 2, 5}) {
        SCOPED_TRACE(at);
        applyCancellingAt(at);
        EXPECT_EQ(model_->lastResult()->succeeded, at + 1);
        expectListAndDiskAgree();
    }
}

TEST_F(BackgroundRunTest, ARunWritingSeveralItemsAtOnceStopsAfterThoseUnderWay) {
    for (int i = 6; i < 80; ++i) {
        paths_.push_back(temp_.file("f" + std::to_string(i), kOld));
    }
    files_.concurrent = true;
    for (const int at : {0, 37}) {
        SCOPED_TRACE(at);
        applyCancellingAt(at);
        // The item that asked for the stop is written, and so may be the one the other thread has begun.
        EXPECT_GE(model_->lastResult()->succeeded, at + 1);
        EXPECT_LE(model_->lastResult()->succeeded, at + 2);
        expectListAndDiskAgree();
    }
    // Uninterrupted, every item is written once and read back.
    applyCancellingAt(-1);
    EXPECT_EQ(model_->lastResult()->succeeded, 80);
    expectListAndDiskAgree();
}

// A write that hangs, as on a share that stopped answering, does not hide the items done before it.
TEST_F(BackgroundRunTest, WhileAWriteHangsTheItemsDoneBeforeItShowAsDone) {
    files_.concurrent = true;
    listAndShiftByAnHour();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    files_.beforeWrite = [released](int write) {
        if (write >= 4) {
            released.wait();
        }
    };
    model_->applyChanges();
    EXPECT_TRUE(runUntil([&] { return model_->progress().done > 0; }));
    EXPECT_LE(model_->progress().done, 4u);
    release.set_value();
    finish();
    EXPECT_EQ(model_->lastResult()->succeeded, 6);
    expectListAndDiskAgree();
}

TEST_F(BackgroundRunTest, AnItemThatVanishesMidwayFailsAloneAndShowsAsGone) {
    listAndShiftByAnHour();
    files_.beforeWrite = [&](int write) {
        if (write == 1) {
            std::filesystem::remove(paths_[3]);
        }
    };

    model_->applyChanges();
    finish();

    EXPECT_EQ(model_->lastResult()->succeeded, 5);
    EXPECT_EQ(model_->lastResult()->failed, 1);
    ASSERT_EQ(model_->lastResult()->failedItems.size(), 1u);
    EXPECT_EQ(model_->lastResult()->failedItems[0].item, model_->items()[3].id());
    EXPECT_EQ(model_->items()[3].modificationDate, std::nullopt);
    EXPECT_EQ(model_->items()[5].modificationDate, kShifted);
}

TEST_F(BackgroundRunTest, ClosingDuringARunStopsAfterTheItemAtHandAndRunsNothingLater) {
    listAndShiftByAnHour();
    std::promise<void> release;
    std::atomic<bool> held = false;
    files_.beforeWrite = [&](int write) {
        if (write == 2) {
            held = true;
            release.get_future().wait();
        }
    };
    model_->applyChanges();
    ASSERT_TRUE(runUntil([&] { return held.load(); }));

    std::jthread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        release.set_value();
    });
    model_.reset();
    owner_.runPending();  // batches handed back before the close find no model and do nothing

    for (std::size_t i = 0; i < paths_.size(); ++i) {
        EXPECT_EQ(TempFolder::modification(paths_[i]), i <= 2 ? kShifted : kOld) << i;
    }
}

TEST_F(BackgroundRunTest, CancelledAddingKeepsWhatCameAndAddingAgainCompletesItExactly) {
    for (int i = 0; i < 200; ++i) {
        temp_.file("many/" + std::to_string(i));
    }
    model_->editConfig([](ActionConfig& config) { config.includeSubfolderContents = true; });
    files_.beforeLook = [&](int look) {
        if (look == 50) {
            model_->cancel();
        }
    };
    const std::vector<std::filesystem::path> folder{temp_.path() / "many"};

    model_->addURLs(folder);
    EXPECT_EQ(model_->activity(), Activity::adding);
    finish();
    const std::size_t kept = model_->items().size();
    EXPECT_GT(kept, 0u);
    EXPECT_LT(kept, 201u);

    files_.beforeLook = [](int) {};
    model_->addURLs(folder);
    model_->addURLs(folder);
    finish();
    EXPECT_EQ(model_->items().size(), 201u);
}

}  // namespace
}  // namespace vellumark
