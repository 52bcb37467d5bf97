#include "HeadphoneMonitor.h"

#include "effect/HeadResponses.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <mutex>
#include <utility>

namespace kalvo
{
namespace
{

/// The responses of `sofaPath` at `sampleRate`, read and prepared once for every instance in the
/// process that renders with them while any of them lives: a second instance opens at once and
/// shares the first one's 13 MB. Null with a reason in `error`.
std::shared_ptr<const BinauralResponses> sharedResponses(const std::string& sofaPath, double sampleRate,
                                                         std::string& error)
{
    static std::mutex mutex;
    static std::map<std::pair<std::string, double>, std::weak_ptr<const BinauralResponses>> prepared;
    const std::lock_guard<std::mutex> lock(mutex);
    std::weak_ptr<const BinauralResponses>& entry = prepared[{sofaPath, sampleRate}];
    if (std::shared_ptr<const BinauralResponses> responses = entry.lock())
        return responses;
    HrirGrid grid;
    if (!loadHrirGrid(sofaPath, sampleRate, grid, error))
        return nullptr;
    std::shared_ptr<const BinauralResponses> responses = BinauralRenderer::prepareResponses(grid);
    entry = responses;
    return responses;
}

} // namespace

HeadphoneMonitor::HeadphoneMonitor()
{
    for (int c = 0; c < kNumHeadControls; ++c)
        controls_[c].store(static_cast<float>(headControlSpec(c).defaultValue));
}

bool HeadphoneMonitor::prepare(double sampleRate, const std::string& sofaPath, std::string& error)
{
    std::shared_ptr<const BinauralResponses> responses = sharedResponses(sofaPath, sampleRate, error);
    const bool ok = responses != nullptr;
    renderer_.setResponses(std::move(responses));
    reset();
    return ok;
}

void HeadphoneMonitor::setControl(int control, double value) noexcept
{
    if (control < 0 || control >= kNumHeadControls || std::isnan(value))
        return;
    const HeadControlSpec& spec = headControlSpec(control);
    value = std::clamp(value, spec.minimum, spec.maximum);
    if (spec.kind != HeadControlKind::Degrees)
        value = std::round(value); // switches and ports are whole numbers
    controls_[control].store(static_cast<float>(value));
}

double HeadphoneMonitor::control(int control) const noexcept
{
    return control >= 0 && control < kNumHeadControls ? controls_[control].load() : 0.0;
}

HeadOrientation HeadphoneMonitor::requestedOrientation() const noexcept
{
    HeadOrientation head{control(kHeadYaw), control(kHeadPitch), control(kHeadRoll)};
    if (control(kTrackerOn) >= 0.5 && tracker_.status() == HeadTracker::Status::Listening)
    {
        const HeadOrientation t = tracker_.orientation();
        head.yawDeg += control(kFlipYaw) >= 0.5 ? -t.yawDeg : t.yawDeg;
        head.pitchDeg += control(kFlipPitch) >= 0.5 ? -t.pitchDeg : t.pitchDeg;
        head.rollDeg += control(kFlipRoll) >= 0.5 ? -t.rollDeg : t.rollDeg;
    }
    return head;
}

void HeadphoneMonitor::reset() noexcept
{
    renderer_.setOrientation(requestedOrientation());
    renderer_.reset();
}

void HeadphoneMonitor::keepListening() noexcept
{
    tracker_.listen(control(kTrackerOn) >= 0.5 ? static_cast<int>(control(kTrackerPort)) : 0);
}

template <typename Sample>
void HeadphoneMonitor::process(const Sample* const decoded[6], Sample* left, Sample* right,
                               int frames) noexcept
{
    keepListening();
    renderer_.setOrientation(requestedOrientation());
    renderer_.process(decoded, left, right, frames);
}

template void HeadphoneMonitor::process<float>(const float* const[6], float*, float*, int) noexcept;
template void HeadphoneMonitor::process<double>(const double* const[6], double*, double*, int) noexcept;

} // namespace kalvo
