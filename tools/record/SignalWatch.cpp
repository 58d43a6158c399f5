// SPDX-License-Identifier: GPL-3.0-or-later
#include "SignalWatch.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace k12 {

namespace {

volatile std::sig_atomic_t writeFd = -1;

void OnSignal(int signo) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signo);
    // A full pipe drops the byte: enough of the same signals are already waiting.
    [[maybe_unused]] const ssize_t n = ::write(writeFd, &byte, 1);
    errno = saved;
}

} // namespace

SignalWatch::SignalWatch(std::initializer_list<int> signals, QObject* parent) : QObject(parent) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without the pipe the signals keep their default action: the program ends at once.
        return;
    }
    readFd_ = fds[0];
    writeFd = fds[1];
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &SignalWatch::Drain);
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signo : signals) {
        ::sigaction(signo, &action, nullptr);
    }
}

// The pipe stays open until the program ends: a signal that comes while it ends finds a pipe to
// write to, and is dropped with it.
SignalWatch::~SignalWatch() = default;

void SignalWatch::Drain() {
    unsigned char byte = 0;
    while (::read(readFd_, &byte, 1) == 1) {
        Q_EMIT received(byte);
    }
}

} // namespace k12
