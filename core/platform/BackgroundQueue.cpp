#include "platform/BackgroundQueue.h"

#include <system_error>

namespace vantrel {

BackgroundQueue::~BackgroundQueue() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

std::size_t BackgroundQueue::post(std::function<void()> job) {
    std::unique_lock lock(mutex_);
    const std::size_t ticket = posted_++;
    if (!thread_.joinable() && !noThread_) {
        try {
            thread_ = std::thread([this] { work(); });
        } catch (const std::system_error&) {
            noThread_ = true;
        }
    }
    if (noThread_) {
        // In order: every job before this one ran inside its own post.
        lock.unlock();
        job();
        lock.lock();
        ++finished_;
        return ticket;
    }
    jobs_.push_back(std::move(job));
    lock.unlock();
    changed_.notify_all();
    return ticket;
}

void BackgroundQueue::wait(std::size_t ticket) {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ > ticket; });
}

void BackgroundQueue::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [&] { return stopping_ || !jobs_.empty(); });
        if (jobs_.empty())
            return; // stopping, with every job done
        std::function<void()> job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        job = nullptr; // what it holds goes before its waiter is told
        lock.lock();
        ++finished_;
        changed_.notify_all();
    }
}

} // namespace vantrel
