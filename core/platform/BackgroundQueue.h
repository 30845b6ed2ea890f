#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace vantrel {

/// Jobs run one after another, in the order posted, on one second thread,
/// while the poster goes on with other work; `wait` hands a job's result
/// over. Where no thread can be had, a job runs at once, inside `post`.
/// Jobs must not throw. The destructor waits for the jobs posted.
class BackgroundQueue {
public:
    BackgroundQueue() = default;
    ~BackgroundQueue();
    BackgroundQueue(const BackgroundQueue&) = delete;
    BackgroundQueue& operator=(const BackgroundQueue&) = delete;

    /// Queues `job`; the number returned names it to `wait`.
    std::size_t post(std::function<void()> job);
    /// Returns once job `ticket` has run, and what it wrote is visible here.
    void wait(std::size_t ticket);

private:
    void work();

    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::function<void()>> jobs_;
    std::size_t posted_ = 0;
    std::size_t finished_ = 0;
    bool stopping_ = false;
    bool noThread_ = false;
    std::thread thread_;
};

} // namespace vantrel
