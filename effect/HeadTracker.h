#pragma once

// A head tracker's orientation, received as OSC messages over UDP on a
// thread of the tracker's own. The audio thread only reads and writes atomics
// here: it asks for a port (or none) and takes the latest orientation, and
// never waits for the receiving thread.
//
// Messages (angles in degrees, any numeric OSC type):
//   /ypr yaw pitch roll     /yaw a   /pitch a   /roll a
//   /quaternion w x y z     (x ahead, y to the left, z up)
// Positive yaw turns the head to the left, positive pitch lifts the nose,
// positive roll lowers the right ear. Messages of other shapes, with other
// types, or with values that are not finite are ignored.

#include "dsp/BinauralRenderer.h"
#include "effect/HeadControls.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kalvo
{

class HeadTracker
{
public:
    using Status = TrackerStatus;
    static constexpr int kMinPort = kMinTrackerPort;
    static constexpr int kMaxPort = kMaxTrackerPort;

    /// Starts the receiving thread, listening nowhere yet.
    HeadTracker();
    /// Closes the port and ends the thread.
    ~HeadTracker();
    HeadTracker(const HeadTracker&) = delete;
    HeadTracker& operator=(const HeadTracker&) = delete;

    /// Listen on `port` (kMinPort..kMaxPort), or nowhere when 0 or out of
    /// range. Lock-free: the thread opens the port within about 50 ms; a port
    /// that was in use is tried again every second.
    void listen(int port) noexcept;
    Status status() const noexcept { return static_cast<Status>(status_.load()); }
    /// The port the status is about (0 when off).
    int port() const noexcept { return statusPort_.load(); }

    /// The orientation the last messages gave, zero before any arrived.
    HeadOrientation orientation() const noexcept;
    /// How many messages were taken (tests wait on it).
    unsigned messages() const noexcept { return messages_.load(); }

    static const char* statusText(Status status) { return trackerStatusText(status); }

private:
    struct Receiver;
    void serve();
    void take(const HeadOrientation& head, bool yaw, bool pitch, bool roll) noexcept;

    std::atomic<int> requested_{0};
    std::atomic<int> status_{0};
    std::atomic<int> statusPort_{0};
    std::atomic<float> yaw_{0.0f}, pitch_{0.0f}, roll_{0.0f};
    std::atomic<unsigned> messages_{0};
    std::mutex mutex_; ///< only the thread and the destructor take it
    std::condition_variable wake_;
    bool stop_ = false;
    std::thread thread_;
};

} // namespace kalvo
