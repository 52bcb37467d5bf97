#include "HeadphoneStage.h"

#include "effect/HeadResponses.h"
#include "effect/HeadphoneMonitor.h"

#include <cstdlib>
#include <new>
#include <string>

namespace kalvo::vst3adapter
{
namespace
{

class MonitorStage final : public HeadphoneStage
{
public:
    void prepare(double sampleRate) override
    {
        // KALVO_HRTF names another measured set, as --hrtf does for kalvo-render.
        const char* sofa = std::getenv("KALVO_HRTF");
        std::string error;
        monitor.prepare(sampleRate, sofa && *sofa ? sofa : kDefaultHrtfPath, error);
    }
    void reset() noexcept override { monitor.reset(); }
    void setControl(int control, double value) noexcept override { monitor.setControl(control, value); }
    double control(int control) const noexcept override { return monitor.control(control); }
    void render(const float* const decoded[6], float* left, float* right, int frames) noexcept override
    {
        monitor.process(decoded, left, right, frames);
    }
    void render(const double* const decoded[6], double* left, double* right, int frames) noexcept override
    {
        monitor.process(decoded, left, right, frames);
    }
    void keepListening() noexcept override { monitor.keepListening(); }
    int trackerStatus() const noexcept override { return static_cast<int>(monitor.trackerStatus()); }

private:
    HeadphoneMonitor monitor;
};

} // namespace

bool headphonesAvailable()
{
    return true;
}

std::unique_ptr<HeadphoneStage> createHeadphoneStage()
{
    return std::unique_ptr<HeadphoneStage>(new (std::nothrow) MonitorStage());
}

} // namespace kalvo::vst3adapter
