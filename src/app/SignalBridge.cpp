#include "app/SignalBridge.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace brenvik {

namespace {

int signalPipe[2] = {-1, -1};

void onSignal(int signal) {
    const unsigned char code = static_cast<unsigned char>(signal);
    (void)!write(signalPipe[1], &code, 1);
}

} // namespace

SignalBridge::SignalBridge(QObject* parent) : QObject(parent) {
    if (pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    notifier_ = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalBridge::readSignal);
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        sigaction(signal, &action, nullptr);
}

SignalBridge::~SignalBridge() {
    for (int signal : {SIGTERM, SIGINT, SIGHUP})
        std::signal(signal, SIG_DFL);
}

void SignalBridge::readSignal() {
    unsigned char code = 0;
    while (read(signalPipe[0], &code, 1) == 1)
        Q_EMIT terminationRequested(code);
}

} // namespace brenvik
