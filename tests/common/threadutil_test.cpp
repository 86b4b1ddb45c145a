#include "common/threadutil.h"
#include "tests/support/eventloop.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <vector>

namespace {

QThread* guiThread() {
    return QCoreApplication::instance()->thread();
}

} // namespace

TEST(PostToThreadTest, PostingToOwnThreadRunsLaterNotInside) {
    bool ran = false;
    postToThread2([&ran] { ran = true; }, nullptr, guiThread());
    EXPECT_FALSE(ran);
    EXPECT_TRUE(waitUntil([&] { return ran; }));
}

TEST(PostToThreadTest, RunsInTheTargetThread) {
    QueueThread worker;
    worker.run([] {}); // starts the thread
    std::atomic<QThread*> ranIn{nullptr};
    QThread* target = &worker;
    waitUntil([&] { return QAbstractEventDispatcher::instance(target) != nullptr; });
    postToThread2([&ranIn] { ranIn = QThread::currentThread(); }, nullptr, target);
    EXPECT_TRUE(waitUntil([&] { return ranIn.load() != nullptr; }));
    EXPECT_EQ(ranIn.load(), target);
}

TEST(PostToThreadHandlerTest, ResetWithinTheDelayDropsTheCall) {
    PostToThreadHandler handler;
    bool ran = false;
    handler.postToThreadDelay([&ran] { ran = true; }, 50, guiThread());
    handler.reset();
    spinFor(200);
    EXPECT_FALSE(ran);
}

TEST(PostToThreadHandlerTest, TwoDelayedPostsWithoutResetBothRun) {
    PostToThreadHandler handler;
    std::vector<int> order;
    handler.postToThreadDelay([&order] { order.push_back(1); }, 30, guiThread());
    handler.postToThreadDelay([&order] { order.push_back(2); }, 60, guiThread());
    EXPECT_TRUE(waitUntil([&] { return order.size() == 2; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(PostToThreadHandlerTest, DebouncingKeepsOnlyTheLastCall) {
    PostToThreadHandler handler;
    std::vector<int> seen;
    for (int i = 0; i < 5; ++i) {
        handler.reset();
        handler.postToThreadDelay([&seen, i] { seen.push_back(i); }, 40, guiThread());
    }
    EXPECT_TRUE(waitUntil([&] { return !seen.empty(); }));
    spinFor(100);
    EXPECT_EQ(seen, (std::vector<int>{4}));
}

TEST(PostToThreadHandlerTest, DelayedPostIntoAWorkerThreadRunsThere) {
    QueueThread worker;
    worker.run([] {});
    PostToThreadHandler handler;
    std::atomic<QThread*> ranIn{nullptr};
    handler.postToThreadDelay([&ranIn] { ranIn = QThread::currentThread(); }, 20, &worker);
    EXPECT_TRUE(waitUntil([&] { return ranIn.load() != nullptr; }));
    EXPECT_EQ(ranIn.load(), &worker);
    handler.reset();
}

TEST(QueueThreadTest, RunRightAfterCreationRunsItemsInOrder) {
    QueueThread worker;
    std::mutex mu;
    std::vector<int> order;
    for (int i = 0; i < 20; ++i) {
        worker.run([&mu, &order, i] {
            std::lock_guard<std::mutex> lock(mu);
            order.push_back(i);
        });
    }
    EXPECT_TRUE(waitUntil([&] {
        std::lock_guard<std::mutex> lock(mu);
        return order.size() == 20;
    }));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(order[static_cast<size_t>(i)], i);
    }
}

TEST(QueueThreadTest, EmptyItemIsSkipped) {
    QueueThread worker;
    std::atomic<bool> after{false};
    worker.run(std::function<void()>());
    worker.run([&after] { after = true; });
    EXPECT_TRUE(waitUntil([&] { return after.load(); }));
}

TEST(QueueThreadTest, CloseOnANeverStartedThreadCallsAtOnce) {
    QueueThread worker;
    bool closed = false;
    worker.close([&closed] { closed = true; });
    EXPECT_TRUE(closed);
}

TEST(QueueThreadTest, CloseStopsAfterTheRunningItemAndCallsBackInTheOwnerThread) {
    QueueThread worker;
    std::atomic<bool> release{false};
    std::atomic<bool> started{false};
    std::atomic<int> ranAfter{0};
    worker.run([&] {
        started = true;
        while (!release) {
            QThread::msleep(1);
        }
    });
    worker.run([&ranAfter] { ++ranAfter; });
    ASSERT_TRUE(waitUntil([&] { return started.load(); }));
    QThread* closedIn = nullptr;
    worker.close([&closedIn] { closedIn = QThread::currentThread(); });
    release = true;
    EXPECT_TRUE(waitUntil([&] { return closedIn != nullptr; }));
    EXPECT_EQ(closedIn, guiThread());
    EXPECT_FALSE(worker.isRunning());
    EXPECT_EQ(ranAfter.load(), 0);

    // A later run starts the thread again.
    std::atomic<bool> again{false};
    worker.run([&again] { again = true; });
    EXPECT_TRUE(waitUntil([&] { return again.load(); }));
}

TEST(SetTimeoutTest, StopsWhenTheCallbackReturnsFalse) {
    int once = 0;
    setTimeout(
        [&once] {
            ++once;
            return false;
        },
        10);
    int thrice = 0;
    setTimeout([&thrice] { return ++thrice < 3; }, 10);
    EXPECT_EQ(once, 0); // first call one interval later
    EXPECT_TRUE(waitUntil([&] { return once == 1 && thrice == 3; }));
    spinFor(100);
    EXPECT_EQ(once, 1);
    EXPECT_EQ(thrice, 3);
}

TEST(ServerCancelerTest, CancelBeforeAnActionOnlySetsTheFlag) {
    ServerCanceler canceler;
    canceler.cancel();
    EXPECT_TRUE(canceler.isCanceled());
    int calls = 0;
    canceler.setCancelAction([&calls] { ++calls; });
    EXPECT_EQ(calls, 0);
}

TEST(ServerCancelerTest, CancelCallsTheInstalledActionOutsideTheLock) {
    ServerCanceler canceler;
    int calls = 0;
    // The action clears itself, as a request ending during cancel() would: this deadlocks if cancel()
    // still held its mutex while calling.
    canceler.setCancelAction([&] {
        ++calls;
        canceler.setCancelAction({});
    });
    canceler.cancel();
    canceler.cancel();
    EXPECT_EQ(calls, 1);
    EXPECT_TRUE(canceler.isCanceled());
}
