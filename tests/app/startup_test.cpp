// The start routine as users and the worker pool meet it: real processes of the built executable.

#include "tests/support/eventloop.h"
#include "tests/support/temphome.h"

#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <memory>

namespace {

class StartupTest : public testing::Test {
protected:
    // Every process shares the temporary home, and through TMPDIR the guard's key files, so tests
    // running side by side do not see each other's instance.
    std::unique_ptr<QProcess> start(const QStringList& args) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), QString::fromStdString(home.path()));
        env.insert(QStringLiteral("TMPDIR"), QString::fromStdString(home.path() + "/tmp"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("QT_QUICK_BACKEND"), QStringLiteral("software"));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(PARLONA_EXECUTABLE), args);
        EXPECT_TRUE(p->waitForStarted(5000));
        return p;
    }

    // The guard's segment shows in the holder's memory map; looking there leaves the segment alone,
    // unlike attaching to it, which would also clean up a stale one.
    static bool holdsGuard(const QProcess& p) {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(p.processId()));
        return maps.open(QIODevice::ReadOnly) && maps.readAll().contains("/SYSV");
    }

    std::unique_ptr<QProcess> startInterface() {
        auto p = start({});
        EXPECT_TRUE(waitUntil([&] { return p->state() != QProcess::Running || holdsGuard(*p); }, 20000));
        EXPECT_EQ(p->state(), QProcess::Running) << p->readAllStandardError().toStdString();
        return p;
    }

    // SIGTERM is a normal quit: exit status 0 and the guard released for the next start.
    static void stop(QProcess& p) {
        p.terminate();
        EXPECT_TRUE(p.waitForFinished(10000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p.exitCode(), 0);
    }

    TempHome home;
};

} // namespace

TEST_F(StartupTest, SecondInterfaceExitsZeroAndLeavesTheFirstRunning) {
    auto first = startInterface();
    auto second = start({});
    ASSERT_TRUE(second->waitForFinished(10000));
    EXPECT_EQ(second->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(first->state(), QProcess::Running);
    stop(*first);
}

TEST_F(StartupTest, StaleSegmentOfACrashedInstanceDoesNotBlock) {
    auto crashed = startInterface();
    crashed->kill(); // no destructors run: the segment stays behind
    crashed->waitForFinished(5000);
    auto next = startInterface();
    EXPECT_EQ(next->state(), QProcess::Running);
    stop(*next);
}

TEST_F(StartupTest, WorkerModeTakesNoGuard) {
    auto ui = startInterface();
    // A worker starts while the interface runs; with nothing on its input it fails as a worker does.
    auto worker = start({QStringLiteral("--convert")});
    worker->closeWriteChannel();
    ASSERT_TRUE(worker->waitForFinished(10000));
    EXPECT_EQ(worker->exitCode(), 1);
    EXPECT_EQ(worker->readAllStandardError(), QByteArray("Invalid input(0)."));
    stop(*ui);
}

TEST_F(StartupTest, ConvertAnywhereButFirstStartsTheInterface) {
    auto ui = startInterface();
    for (const QStringList& args : {QStringList{QStringLiteral("x"), QStringLiteral("--convert")},
                                    QStringList{QStringLiteral("--converter")}}) {
        auto p = start(args);
        p->closeWriteChannel();
        ASSERT_TRUE(p->waitForFinished(10000));
        // It took the interface path: the guard sent it away silently.
        EXPECT_EQ(p->exitCode(), 0) << args.join(' ').toStdString();
        EXPECT_TRUE(p->readAllStandardError().isEmpty());
    }
    stop(*ui);
}

TEST_F(StartupTest, HelpAndVersionPrintAndExitWithoutTheGuard) {
    auto ui = startInterface();
    auto version = start({QStringLiteral("--version")});
    ASSERT_TRUE(version->waitForFinished(10000));
    EXPECT_EQ(version->exitCode(), 0);
    EXPECT_TRUE(version->readAllStandardOutput().contains("3.1.2"));
    auto help = start({QStringLiteral("--help")});
    ASSERT_TRUE(help->waitForFinished(10000));
    EXPECT_EQ(help->exitCode(), 0);
    EXPECT_TRUE(help->readAllStandardOutput().contains("Usage: parlona"));
    stop(*ui);
}

TEST_F(StartupTest, InterfaceLoadsItsWindowAndKeepsRunning) {
    // A window document that fails to build ends the process with status -1.
    auto ui = startInterface();
    EXPECT_FALSE(ui->waitForFinished(3000)) << ui->readAllStandardError().toStdString();
    EXPECT_FALSE(ui->readAllStandardError().contains("qrc:/qml/main.qml"));
    stop(*ui);
}
