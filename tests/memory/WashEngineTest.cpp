#include "fakes/FakePlatform.h"
#include "memory/RelThrd.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <future>
#include <gtest/gtest.h>
#include <stdexcept>

namespace brenvik {
namespace {

// Windows that write down what the worker asks of them and keep the bar's model (total, parts).
class RecordingWindows : public WashWindows {
public:
    bool visible = true;
    std::function<void(int parts)> onAdvance; // runs on the worker after each advance

    bool mainWindowVisible() override { return note("visible?"), visible; }
    void setMainWindowEnabled(bool enabled) override {
        note(enabled ? "enable" : "disable");
        std::lock_guard lock(mutex_);
        enabled_ = enabled;
    }
    void setCancelTarget(std::function<void()> cancel) override {
        note("cancel target");
        std::lock_guard lock(mutex_);
        cancel_ = std::move(cancel);
    }
    void setBarPartsComplete(int parts) override {
        note("parts " + std::to_string(parts));
        std::lock_guard lock(mutex_);
        parts_ = std::min(parts, total_);
    }
    void setBarTotal(int total) override {
        note("total " + std::to_string(total));
        std::lock_guard lock(mutex_);
        if (total != total_)
            parts_ = 0;
        total_ = total;
    }
    void advanceBar() override {
        int parts = 0;
        {
            std::lock_guard lock(mutex_);
            parts = parts_ = std::min(parts_ + 1, total_);
            history_.push_back(parts);
        }
        if (onAdvance)
            onAdvance(parts);
    }
    void showProgress() override { note("show"); }
    void repaintProgress() override { note("repaint"); }
    void closeProgress() override { note("close"); }
    void showError(const std::string& message) override { note("error " + message); }
    void reportUnexpected(std::exception_ptr error) override {
        try {
            std::rethrow_exception(error);
        } catch (const std::exception& e) {
            note(std::string("unexpected ") + e.what());
        }
    }
    void synchronize(const std::function<void()>& call) override {
        note("end notification");
        call();
    }

    std::vector<std::string> log() const {
        std::lock_guard lock(mutex_);
        return log_;
    }
    int parts() const {
        std::lock_guard lock(mutex_);
        return parts_;
    }
    int total() const {
        std::lock_guard lock(mutex_);
        return total_;
    }
    std::vector<int> history() const {
        std::lock_guard lock(mutex_);
        return history_;
    }
    bool mainEnabled() const {
        std::lock_guard lock(mutex_);
        return enabled_;
    }
    void pressCancel() {
        std::function<void()> cancel;
        {
            std::lock_guard lock(mutex_);
            cancel = cancel_;
        }
        if (cancel)
            cancel();
    }

private:
    void note(std::string what) {
        std::lock_guard lock(mutex_);
        log_.push_back(std::move(what));
    }

    mutable std::mutex mutex_;
    std::vector<std::string> log_;
    std::vector<int> history_;
    std::function<void()> cancel_;
    bool enabled_ = false; // the window starts "unknown"; a wash must end by enabling it
    int total_ = 100;
    int parts_ = 0;
};

class WashEngineTest : public ::testing::Test {
protected:
    test::FakePlatformScope fake;
    std::shared_ptr<RecordingWindows> windows = std::make_shared<RecordingWindows>();
    test::FakeBlockAllocator& allocator = fake->fakeAllocator();

    // Runs one wash to its end and returns its figures.
    WashResult wash(int megabytes) {
        TRelocateThread worker(megabytes, windows);
        worker.OnTerminate = [this](const WashResult&) { ++endNotifications; };
        worker.Start();
        worker.WaitFor();
        return worker.result();
    }
    int endNotifications = 0;
};

TEST_F(WashEngineTest, VisibleWashRunsItsStepsInOrder) {
    windows->onAdvance = [this](int parts) {
        if (parts == 3) { // the peak: every block taken and written
            EXPECT_TRUE(allocator.allHeldZero());
        }
    };
    const WashResult result = wash(3);
    const std::vector<std::string> expected{"visible?", "cancel target",   "disable", "parts 0",
                                            "show",     "repaint",         "total 6", "enable",
                                            "close",    "end notification"};
    EXPECT_EQ(windows->log(), expected);
    EXPECT_EQ(windows->history(), (std::vector<int>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(result.obtained, 3);
    EXPECT_EQ(result.released, 3);
    EXPECT_EQ(result.stop, WashStop::Completed);
    EXPECT_EQ(allocator.held(), 0);
    EXPECT_EQ(endNotifications, 1);
}

TEST_F(WashEngineTest, ZeroBlocksShowsAndClosesTheDialogAtZeroPercent) {
    const WashResult result = wash(0);
    const std::vector<std::string> expected{"visible?", "cancel target",   "disable", "parts 0",
                                            "show",     "repaint",         "total 0", "enable",
                                            "close",    "end notification"};
    EXPECT_EQ(windows->log(), expected);
    EXPECT_EQ(windows->parts(), 0);
    EXPECT_EQ(result.obtained, 0);
    EXPECT_EQ(allocator.obtainCalls(), 0);
    EXPECT_TRUE(windows->mainEnabled());
}

TEST_F(WashEngineTest, CancelDuringTheTenthBlockStopsAtTheHalfwayMark) {
    // The dialog's Cancel pressed while the tenth block is being obtained.
    allocator.onObtain = [this](int call) {
        if (call == 9)
            windows->pressCancel();
    };
    const WashResult result = wash(100);
    EXPECT_EQ(result.obtained, 10);
    EXPECT_EQ(result.released, 10);
    EXPECT_EQ(result.stop, WashStop::Cancelled);
    EXPECT_EQ(windows->total(), 200);
    std::vector<int> expected;
    for (int parts = 1; parts <= 10; ++parts)
        expected.push_back(parts);
    for (int parts = 101; parts <= 110; ++parts)
        expected.push_back(parts);
    EXPECT_EQ(windows->history(), expected);
    const auto log = windows->log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "parts 100"), 1);
    EXPECT_EQ(windows->parts(), 110);
    EXPECT_TRUE(windows->mainEnabled());
    EXPECT_EQ(endNotifications, 1);
    EXPECT_EQ(allocator.held(), 0);
}

TEST_F(WashEngineTest, HiddenWashTouchesNoDialogAndStillEnablesTheWindow) {
    windows->visible = false;
    const WashResult result = wash(5);
    EXPECT_EQ(windows->log(), (std::vector<std::string>{"visible?", "enable", "end notification"}));
    EXPECT_TRUE(windows->history().empty());
    EXPECT_EQ(result.obtained, 5);
    EXPECT_TRUE(windows->mainEnabled());
}

TEST_F(WashEngineTest, StopWhileWaitingForTheLockStillTakesOneBlock) {
    windows->visible = false;
    TRelocateThread worker(5, windows);
    {
        std::lock_guard held(WashLock);
        worker.Start();
        worker.CancelWash();
    }
    worker.WaitFor();
    EXPECT_EQ(worker.result().obtained, 1);
    EXPECT_EQ(worker.result().released, 1);
    EXPECT_EQ(worker.result().stop, WashStop::Cancelled);
}

TEST_F(WashEngineTest, RefusedBlockEndsTheAllocationAndTheWashEndsNormally) {
    struct Case {
        int refusedCall;
        bool reserve;
        WashStop stop;
    };
    for (const Case& c : {Case{0, false, WashStop::Failed}, Case{3, false, WashStop::Failed},
                          Case{7, true, WashStop::Reserve}}) {
        SCOPED_TRACE(c.refusedCall);
        test::FakePlatformScope local;
        windows = std::make_shared<RecordingWindows>();
        test::FakeBlockAllocator& blocks = local->fakeAllocator();
        (c.reserve ? blocks.reserveAt : blocks.failAt) = c.refusedCall;
        endNotifications = 0;
        const WashResult result = wash(20);
        EXPECT_EQ(result.obtained, c.refusedCall);
        EXPECT_EQ(result.released, c.refusedCall);
        EXPECT_EQ(result.stop, c.stop);
        EXPECT_EQ(blocks.held(), 0);
        EXPECT_EQ(windows->parts(), 2 * c.refusedCall);
        const auto log = windows->log();
        EXPECT_EQ(std::vector<std::string>(log.end() - 3, log.end()),
                  (std::vector<std::string>{"enable", "close", "end notification"}));
        EXPECT_EQ(endNotifications, 1);
    }
}

TEST_F(WashEngineTest, RejectedBlockIsReportedOnceAndTheOthersAreStillGivenBack) {
    allocator.rejectAt = 1;
    const WashResult result = wash(4);
    EXPECT_EQ(result.released, 3);
    EXPECT_EQ(result.rejected, 1);
    EXPECT_EQ(allocator.held(), 0);
    const auto log = windows->log();
    EXPECT_EQ(std::count(log.begin(), log.end(), "error Invalid pointer operation"), 1);
    EXPECT_EQ(log.back(), "end notification");
}

TEST_F(WashEngineTest, TwoWashesNeverOverlapTheirAllocationAndRelease) {
    windows->visible = false;
    // Slow blocks give the second wash every chance to interleave if the lock let it.
    allocator.onObtain = [](int) { std::this_thread::sleep_for(std::chrono::microseconds(200)); };
    TRelocateThread first(20, windows);
    TRelocateThread second(20, windows);
    first.Start();
    second.Start();
    first.WaitFor();
    second.WaitFor();
    const auto events = allocator.events();
    ASSERT_EQ(events.size(), 80u);
    int switches = 0;
    for (std::size_t i = 1; i < events.size(); ++i)
        switches += events[i].thread != events[i - 1].thread;
    EXPECT_EQ(switches, 1);
    // Each run is all its blocks taken, then all given back.
    for (std::size_t i = 0; i < events.size(); ++i)
        EXPECT_EQ(events[i].obtain, i % 40 < 20) << i;
}

TEST_F(WashEngineTest, FailureInsideTheWashIsReportedAndEverythingIsGivenBack) {
    windows->onAdvance = [](int parts) {
        if (parts == 2)
            throw std::runtime_error("bar gone");
    };
    const WashResult result = wash(5);
    EXPECT_EQ(result.obtained, 2);
    EXPECT_EQ(allocator.held(), 0);
    const auto log = windows->log();
    EXPECT_NE(std::find(log.begin(), log.end(), "unexpected bar gone"), log.end());
    EXPECT_EQ(log.back(), "end notification");
    EXPECT_TRUE(WashLock.try_lock());
    WashLock.unlock();
}

// The memory readings around the allocation loop: before it, at the peak, after the release.
class FailingMemoryReading : public test::FakeSystemStatus {
public:
    explicit FailingMemoryReading(int failingRead) : failingRead_(failingRead) {}
    platform::MemoryStatus memoryStatus() override {
        if (reads_++ == failingRead_)
            throw std::runtime_error("no memory figures");
        return memory;
    }

private:
    int failingRead_;
    int reads_ = 0;
};

TEST_F(WashEngineTest, FailureAroundTheAllocationLoopStillEndsTheWashProperly) {
    for (const int failingRead : {0, 1, 2}) {
        SCOPED_TRACE(failingRead);
        test::FakePlatformScope local;
        local->system = std::make_unique<FailingMemoryReading>(failingRead);
        windows = std::make_shared<RecordingWindows>();
        endNotifications = 0;
        wash(4);
        EXPECT_EQ(local->fakeAllocator().held(), 0);
        EXPECT_TRUE(windows->mainEnabled());
        const auto log = windows->log();
        EXPECT_NE(std::find(log.begin(), log.end(), "unexpected no memory figures"), log.end());
        EXPECT_NE(std::find(log.begin(), log.end(), "close"), log.end());
        EXPECT_EQ(log.back(), "end notification");
        EXPECT_EQ(endNotifications, 1);
        EXPECT_TRUE(WashLock.try_lock());
        WashLock.unlock();
    }
}

TEST_F(WashEngineTest, FailureWhileShowingTheDialogStillEnablesTheWindow) {
    struct FailingShow : RecordingWindows {
        void showProgress() override { throw std::runtime_error("no dialog"); }
    };
    auto failing = std::make_shared<FailingShow>();
    windows = failing;
    wash(2);
    EXPECT_TRUE(windows->mainEnabled());
    const auto log = windows->log();
    EXPECT_NE(std::find(log.begin(), log.end(), "unexpected no dialog"), log.end());
    EXPECT_NE(std::find(log.begin(), log.end(), "close"), log.end());
    EXPECT_EQ(endNotifications, 1);
    EXPECT_TRUE(WashLock.try_lock());
    WashLock.unlock();
}

TEST_F(WashEngineTest, StopAllEndsRunningAndWaitingWorkersThatFreeThemselves) {
    windows->visible = false;
    std::mutex mutex;
    std::condition_variable started;
    bool running = false;
    allocator.onObtain = [&](int) {
        {
            std::lock_guard lock(mutex);
            running = true;
        }
        started.notify_all();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    std::atomic<int> ended = 0;
    for (int i = 0; i < 3; ++i) {
        auto* worker = new TRelocateThread(10'000, windows);
        worker->FreeOnTerminate = true;
        worker->OnTerminate = [&ended](const WashResult&) { ++ended; };
        worker->Start();
    }
    {
        std::unique_lock lock(mutex);
        started.wait(lock, [&] { return running; });
    }
    TRelocateThread::StopAll();
    EXPECT_EQ(TRelocateThread::liveWorkers(), 0);
    EXPECT_EQ(ended, 3);
    EXPECT_EQ(allocator.held(), 0);
    // The running wash stopped after its next block; each waiting one took exactly one.
    EXPECT_LT(allocator.obtainCalls(), 1000);
}

TEST_F(WashEngineTest, WorkerThatFreesItselfIsGoneAfterItsEndNotification) {
    windows->visible = false;
    std::promise<void> ended;
    auto* worker = new TRelocateThread(3, windows);
    worker->FreeOnTerminate = true;
    worker->OnTerminate = [&ended](const WashResult& result) {
        EXPECT_EQ(result.obtained, 3);
        ended.set_value();
    };
    worker->Start();
    ended.get_future().wait();
    for (int i = 0; i < 1000 && TRelocateThread::liveWorkers() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(TRelocateThread::liveWorkers(), 0);
}

} // namespace
} // namespace brenvik
