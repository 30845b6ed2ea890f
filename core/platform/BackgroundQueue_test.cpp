#include "platform/BackgroundQueue.h"

#include <gtest/gtest.h>

#include <vector>

namespace vantrel {
namespace {

TEST(BackgroundQueue, JobsRunInOrderAndTheirResultsAreSeen) {
    std::vector<int> done; // written by the jobs only, read after their waits
    std::vector<int> results(200, 0);
    {
        BackgroundQueue queue;
        std::vector<std::size_t> tickets;
        for (int i = 0; i < 200; ++i)
            tickets.push_back(queue.post([&done, &results, i] {
                done.push_back(i);
                results[static_cast<std::size_t>(i)] = i * i;
            }));
        queue.wait(tickets[99]);
        for (int i = 0; i < 100; ++i)
            EXPECT_EQ(results[static_cast<std::size_t>(i)], i * i);
        // The rest are left to the destructor, which waits for them.
    }
    ASSERT_EQ(done.size(), 200U);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(done[static_cast<std::size_t>(i)], i);
}

} // namespace
} // namespace vantrel
