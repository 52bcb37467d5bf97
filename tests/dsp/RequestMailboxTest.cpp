#include "dsp/RequestMailbox.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace
{
std::vector<double> takeAll(RequestMailbox& box)
{
    std::vector<double> taken;
    box.take([&](double r) { taken.push_back(r); });
    return taken;
}
} // namespace

TEST(RequestMailbox, ABurstArrivesAsItsFirstAndLastRequestInOrder)
{
    RequestMailbox box;
    EXPECT_TRUE(takeAll(box).empty());
    box.post(1.0);
    EXPECT_EQ(takeAll(box), std::vector<double>({1.0}));
    EXPECT_TRUE(takeAll(box).empty());
    box.post(2.0);
    box.post(3.0);
    box.post(4.0);
    EXPECT_EQ(takeAll(box), std::vector<double>({2.0, 4.0}));
    box.post(5.0);
    box.post(6.0);
    EXPECT_EQ(takeAll(box), std::vector<double>({5.0, 6.0}));
    box.post(7.0);
    EXPECT_EQ(takeAll(box), std::vector<double>({7.0}));
}

TEST(RequestMailbox, AcrossThreadsNothingIsLostOrOvertaken)
{
    // The poster counts up; the consumer must see a rising sequence (a repeat of
    // the latest value is allowed) that ends on the last value posted.
    constexpr int kPosts = 200000;
    RequestMailbox box;
    std::atomic<bool> done{false};
    std::thread poster(
        [&]
        {
            for (int i = 1; i <= kPosts; ++i)
                box.post(i);
            done.store(true, std::memory_order_release);
        });
    double last = 0.0;
    bool ordered = true;
    const auto check = [&](double r)
    {
        ordered = ordered && r >= last;
        last = r;
    };
    while (!done.load(std::memory_order_acquire))
        box.take(check);
    poster.join();
    box.take(check);
    EXPECT_TRUE(ordered);
    EXPECT_EQ(last, kPosts);
}
