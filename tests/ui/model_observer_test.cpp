#include "ui/bindings/model_observer.h"

#include "app_model/app_model.h"
#include "qt_test_support.h"
#include "support/fake_file_access.h"
#include "support/scripted_open_panel.h"

#include <QElapsedTimer>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>

namespace vellumark::bindings {
namespace {

class ModelObserverTest : public ::testing::Test {
protected:
    testing::FakeFileAccess files_;
    testing::ScriptedOpenPanel addPanel_;
    AppModel model_{files_, addPanel_, [] { return Date::fromParts(1'700'000'000); }};
};

TEST_F(ModelObserverTest, AThousandWritesMakeOneRefreshOnTheNextPass) {
    int refreshes = 0;
    std::int64_t seen = -1;
    ModelObserver observer(model_, [&] {
        ++refreshes;
        seen = model_.config().shiftDays;
    });
    for (int i = 1; i <= 1000; ++i) {
        model_.editConfig([i](ActionConfig& config) { config.shiftDays = i; });
    }
    EXPECT_EQ(refreshes, 0);
    EXPECT_TRUE(observer.isRefreshPending());

    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 1);
    EXPECT_EQ(seen, 1000);

    model_.setSelection({});
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 2);
}

TEST(ModelObserverPacing, WhileBusyRefreshesComeAtMostOncePerIntervalAndTheLastOneAtOnce) {
    ChangePublisher publisher;
    bool busy = false;
    int refreshes = 0;
    QElapsedTimer sinceRefresh;
    ModelObserver observer(
        publisher,
        [&] {
            ++refreshes;
            sinceRefresh.start();
        },
        nullptr, [&] { return busy; });
    const auto sendAndPass = [&] {
        publisher.send();
        QCoreApplication::processEvents();
    };
    const auto withinInterval = [&] {
        return std::chrono::milliseconds(sinceRefresh.elapsed()) < ModelObserver::kBusyInterval;
    };

    busy = true;
    sendAndPass();  // the first refresh to find it busy
    EXPECT_EQ(refreshes, 1);
    sendAndPass();
    sendAndPass();
    if (!withinInterval()) {
        GTEST_SKIP() << "this run was too slow to tell paced refreshes from others";
    }
    EXPECT_EQ(refreshes, 1);
    EXPECT_TRUE(observer.isRefreshPending());

    QTest::qWait(static_cast<int>(ModelObserver::kBusyInterval.count()) * 3);
    EXPECT_EQ(refreshes, 2);  // the two notifications held back, in one refresh
    EXPECT_FALSE(observer.isRefreshPending());

    sendAndPass();  // the interval is over
    sendAndPass();
    EXPECT_EQ(refreshes, withinInterval() ? 3 : 4);
    busy = false;
    sendAndPass();  // idle again: no waiting for the interval
    EXPECT_FALSE(observer.isRefreshPending());
    const int idleAgain = refreshes;
    sendAndPass();
    EXPECT_EQ(refreshes, idleAgain + 1);
}

TEST_F(ModelObserverTest, AnObserverGoneBeforeItsPassRefreshesNothing) {
    int refreshes = 0;
    auto observer = std::make_unique<ModelObserver>(model_, [&] { ++refreshes; });
    model_.setSelection({});
    observer.reset();
    model_.setSelection({});
    QCoreApplication::processEvents();
    EXPECT_EQ(refreshes, 0);
}

}  // namespace
}  // namespace vellumark::bindings
