// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/TaskQueue.h"

namespace k12 {

ThreadTaskQueue::ThreadTaskQueue() : thread_([this] { Run(); }) {}

ThreadTaskQueue::~ThreadTaskQueue() {
    {
        const std::lock_guard lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ThreadTaskQueue::Post(std::function<void()> task) {
    {
        const std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_one();
}

void ThreadTaskQueue::Drain() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && !busy_; });
}

void ThreadTaskQueue::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !tasks_.empty(); });
        if (tasks_.empty()) {
            return;
        }
        std::function<void()> task = std::move(tasks_.front());
        tasks_.pop_front();
        busy_ = true;
        lock.unlock();
        task();
        lock.lock();
        busy_ = false;
        if (tasks_.empty()) {
            idle_.notify_all();
        }
    }
}

} // namespace k12
