#pragma once

#include <atomic>

/// Hands requests (numbers) from the parameter side to the audio thread, in
/// order, without a lock on either side.
///
/// Made for a consumer whose state depends only on the first and the last of a
/// burst of requests, as the delay line's does: its first request starts a
/// fade, and every later one merely replaces the change pending behind it. So
/// the mailbox keeps two slots: the first request of a burst, and the latest
/// one after it. Posting a, b, c before the consumer looks hands it a then c;
/// a consumer that applies what it takes in order ends in the same state as if
/// it had applied a, b and c itself.
///
/// One thread at a time takes (the audio thread, or the control thread while no
/// audio runs); posts come from the parameter side. Neither side ever waits.
/// Should a post race with a take, the latest request may be handed out twice,
/// never lost and never ahead of an older one. Should two posts race each other
/// (host automation and the editor changing the same parameter at once), one
/// of them may be lost, as with any two writes of one value at the same moment;
/// the mailbox itself stays sound.
class RequestMailbox
{
public:
    /// Leaves a request for the next take.
    void post(double request) noexcept
    {
        const unsigned posted = latestPosted.load(std::memory_order_relaxed);
        if (posted == latestTaken.load(std::memory_order_acquire) &&
            !firstFull.load(std::memory_order_acquire))
        {
            // Nothing waiting: this request opens a burst.
            first.store(request, std::memory_order_relaxed);
            firstFull.store(true, std::memory_order_release);
        }
        else
        {
            latest.store(request, std::memory_order_relaxed);
            latestPosted.store(posted + 1, std::memory_order_release);
        }
    }

    /// Calls apply(request) for what was posted since the last take, oldest first.
    template <typename Apply> void take(Apply&& apply) noexcept
    {
        // Read before the first slot: a latest request counted here was posted
        // after whatever the first slot holds, and the poster opens no new burst
        // until this take has acknowledged it below.
        const unsigned posted = latestPosted.load(std::memory_order_acquire);
        if (firstFull.load(std::memory_order_acquire))
        {
            apply(first.load(std::memory_order_relaxed));
            firstFull.store(false, std::memory_order_release);
        }
        if (posted != latestTaken.load(std::memory_order_relaxed))
        {
            // A post racing with this read may already show here; it is then
            // handed out once more by the next take, which is harmless.
            apply(latest.load(std::memory_order_relaxed));
            latestTaken.store(posted, std::memory_order_release);
        }
    }

private:
    std::atomic<double> first{0.0};
    std::atomic<double> latest{0.0};
    std::atomic<bool> firstFull{false};
    /// Requests put into the latest slot so far, and how many of them were taken.
    std::atomic<unsigned> latestPosted{0};
    std::atomic<unsigned> latestTaken{0};
};
