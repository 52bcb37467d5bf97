#include "HeadphoneMonitor.h"

#include "effect/HeadResponses.h"

#include <algorithm>
#include <cmath>

namespace kalvo
{
HeadphoneMonitor::HeadphoneMonitor()
{
    for (int c = 0; c < kNumHeadControls; ++c)
        controls_[c].store(static_cast<float>(headControlSpec(c).defaultValue));
}

bool HeadphoneMonitor::prepare(double sampleRate, const std::string& sofaPath, std::string& error)
{
    HrirGrid grid;
    const bool ok = loadHrirGrid(sofaPath, sampleRate, grid, error);
    renderer_.setResponses(ok ? grid : HrirGrid());
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
