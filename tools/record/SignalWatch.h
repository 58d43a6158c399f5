// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <initializer_list>

namespace k12 {

// Turns signals into a Qt signal in the event loop. The handler only writes the signal's number
// into a pipe; nothing else is safe there.
class SignalWatch : public QObject {
    Q_OBJECT
  public:
    // One watch per program.
    SignalWatch(std::initializer_list<int> signals, QObject* parent = nullptr);
    ~SignalWatch() override;
    SignalWatch(const SignalWatch&) = delete;
    SignalWatch& operator=(const SignalWatch&) = delete;

  Q_SIGNALS:
    void received(int signo);

  private:
    void Drain();

    int readFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
};

} // namespace k12
