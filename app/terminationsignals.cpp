#include "app/terminationsignals.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int) {
    const char byte = 1;
    const ssize_t written = ::write(signalPipe[0], &byte, 1);
    static_cast<void>(written);
}

// Runs from the application object's constructor.
void watchSignalPipe() {
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [notifier]() {
        notifier->setEnabled(false);
        char byte = 0;
        const ssize_t got = ::read(signalPipe[1], &byte, 1);
        static_cast<void>(got);
        QCoreApplication::quit();
    });
}

} // namespace

void quitOnTerminationSignals() {
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) {
        return;
    }
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    qAddPreRoutine(watchSignalPipe);
}
