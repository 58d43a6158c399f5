// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace k12 {

// Runs tasks one after another, in the order they were posted, away from the caller: the disk
// writes a measuring step must never wait for.
class TaskQueue {
  public:
    virtual ~TaskQueue() = default;
    virtual void Post(std::function<void()> task) = 0;
    // Returns once every task posted so far has run.
    virtual void Drain() = 0;
};

// Tasks on a thread of their own; the destructor runs what is still queued.
class ThreadTaskQueue final : public TaskQueue {
  public:
    ThreadTaskQueue();
    ~ThreadTaskQueue() override;
    ThreadTaskQueue(const ThreadTaskQueue&) = delete;
    ThreadTaskQueue& operator=(const ThreadTaskQueue&) = delete;

    void Post(std::function<void()> task) override;
    void Drain() override;

  private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::deque<std::function<void()>> tasks_;
    bool busy_ = false;
    bool stop_ = false;
    std::thread thread_;
};

// Tasks run at once, in the caller: deterministic, for tests and simulations.
class InlineTaskQueue final : public TaskQueue {
  public:
    void Post(std::function<void()> task) override { task(); }
    void Drain() override {}
};

} // namespace k12
