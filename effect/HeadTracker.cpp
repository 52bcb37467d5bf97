#include "HeadTracker.h"

#include <lo/lo.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <string>

namespace kalvo
{
namespace
{

/// liblo reports a port it cannot open, and a packet it cannot parse, here: both
/// are answered by the status or by ignoring the packet, never by printing.
void quiet(int, const char*, const char*) {}

/// The value of a float argument (the method's type list asks for floats; liblo turns other
/// numbers into floats). The argument lies in the packet at a 4-byte boundary only, so it is
/// copied out rather than read through the 8-byte-aligned union.
float number(const lo_arg* arg)
{
    float value = 0.0f;
    std::memcpy(&value, static_cast<const void*>(arg), sizeof value);
    return value;
}

bool allFinite(const float* v, int n)
{
    for (int i = 0; i < n; ++i)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}

} // namespace

struct HeadTracker::Receiver
{
    static int ypr(const char*, const char*, lo_arg** argv, int, lo_message, void* data)
    {
        const float v[3] = {number(argv[0]), number(argv[1]), number(argv[2])};
        if (allFinite(v, 3))
            static_cast<HeadTracker*>(data)->take({v[0], v[1], v[2]}, true, true, true);
        return 0;
    }
    static int quaternion(const char*, const char*, lo_arg** argv, int, lo_message, void* data)
    {
        HeadOrientation head;
        if (orientationFromQuaternion(number(argv[0]), number(argv[1]), number(argv[2]), number(argv[3]),
                                      head))
            static_cast<HeadTracker*>(data)->take(head, true, true, true);
        return 0;
    }
    static int yaw(const char*, const char*, lo_arg** argv, int, lo_message, void* data)
    {
        const float v = number(argv[0]);
        if (std::isfinite(v))
            static_cast<HeadTracker*>(data)->take({v, 0.0, 0.0}, true, false, false);
        return 0;
    }
    static int pitch(const char*, const char*, lo_arg** argv, int, lo_message, void* data)
    {
        const float v = number(argv[0]);
        if (std::isfinite(v))
            static_cast<HeadTracker*>(data)->take({0.0, v, 0.0}, false, true, false);
        return 0;
    }
    static int roll(const char*, const char*, lo_arg** argv, int, lo_message, void* data)
    {
        const float v = number(argv[0]);
        if (std::isfinite(v))
            static_cast<HeadTracker*>(data)->take({0.0, 0.0, v}, false, false, true);
        return 0;
    }
};

HeadTracker::HeadTracker() : thread_([this] { serve(); }) {}

HeadTracker::~HeadTracker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void HeadTracker::listen(int port) noexcept
{
    requested_.store(port >= kMinPort && port <= kMaxPort ? port : 0);
}

HeadOrientation HeadTracker::orientation() const noexcept
{
    return {yaw_.load(), pitch_.load(), roll_.load()};
}

void HeadTracker::take(const HeadOrientation& head, bool yaw, bool pitch, bool roll) noexcept
{
    // Each angle is taken into -180..180 so that a tracker counting turns
    // (yaw 540) lands where the head is.
    if (yaw)
        yaw_.store(static_cast<float>(std::remainder(head.yawDeg, 360.0)));
    if (pitch)
        pitch_.store(static_cast<float>(std::remainder(head.pitchDeg, 360.0)));
    if (roll)
        roll_.store(static_cast<float>(std::remainder(head.rollDeg, 360.0)));
    messages_.fetch_add(1);
}

void HeadTracker::serve()
{
    using Clock = std::chrono::steady_clock;
    constexpr int kWaitMs = 50;
    lo_server server = nullptr;
    int open = 0;
    Clock::time_point lastTry;
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stop_)
    {
        const int want = requested_.load();
        const bool retry = want != 0 && !server && Clock::now() - lastTry > std::chrono::seconds(1);
        if (want != open || retry)
        {
            if (server)
                lo_server_free(server);
            server = nullptr;
            open = want;
            if (want != 0)
            {
                lastTry = Clock::now();
                server = lo_server_new_with_proto(std::to_string(want).c_str(), LO_UDP, quiet);
                if (server)
                {
                    lo_server_add_method(server, "/ypr", "fff", Receiver::ypr, this);
                    lo_server_add_method(server, "/quaternion", "ffff", Receiver::quaternion, this);
                    lo_server_add_method(server, "/yaw", "f", Receiver::yaw, this);
                    lo_server_add_method(server, "/pitch", "f", Receiver::pitch, this);
                    lo_server_add_method(server, "/roll", "f", Receiver::roll, this);
                }
            }
            status_.store(static_cast<int>(want == 0 ? Status::Off
                                           : server  ? Status::Listening
                                                     : Status::PortInUse));
            statusPort_.store(want);
        }
        if (server)
        {
            // Receive with the lock released, so that the destructor can ask to stop.
            lock.unlock();
            lo_server_recv_noblock(server, kWaitMs);
            lock.lock();
        }
        else
            wake_.wait_for(lock, std::chrono::milliseconds(kWaitMs));
    }
    if (server)
        lo_server_free(server);
}

} // namespace kalvo
