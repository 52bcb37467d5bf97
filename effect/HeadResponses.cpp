#include "HeadResponses.h"

#include <mysofa.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace kalvo
{
namespace
{

std::string sofaError(int code)
{
    switch (code)
    {
    case MYSOFA_INVALID_FORMAT:
        return "not a SOFA file";
    case MYSOFA_UNSUPPORTED_FORMAT:
    case MYSOFA_INVALID_ATTRIBUTES:
    case MYSOFA_INVALID_DIMENSIONS:
    case MYSOFA_INVALID_DIMENSION_LIST:
    case MYSOFA_INVALID_COORDINATE_TYPE:
    case MYSOFA_ONLY_EMITTER_WITH_ECI_SUPPORTED:
    case MYSOFA_ONLY_DELAYS_WITH_IR_OR_MR_SUPPORTED:
    case MYSOFA_ONLY_THE_SAME_SAMPLING_RATE_SUPPORTED:
    case MYSOFA_RECEIVERS_WITH_RCI_SUPPORTED:
    case MYSOFA_RECEIVERS_WITH_CARTESIAN_SUPPORTED:
    case MYSOFA_INVALID_RECEIVER_POSITIONS:
    case MYSOFA_ONLY_SOURCES_WITH_MC_SUPPORTED:
        return "a SOFA file of a kind libmysofa does not read (it needs head-related impulse responses "
               "for two ears)";
    case MYSOFA_NO_MEMORY:
        return "out of memory";
    case MYSOFA_READ_ERROR:
        return "read error";
    default:
        // Below the library's own codes it passes on the system's.
        return code > 0 && code < MYSOFA_INVALID_FORMAT ? std::strerror(code)
                                                        : "libmysofa error " + std::to_string(code);
    }
}

} // namespace

bool loadHrirGrid(const std::string& sofaPath, double sampleRate, HrirGrid& grid, std::string& error)
{
    struct stat st;
    if (::stat(sofaPath.c_str(), &st) != 0)
    {
        error = "cannot open the head-related responses '" + sofaPath + "': " + std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode))
    {
        error = "'" + sofaPath + "' is not a SOFA file";
        return false;
    }
    const float rate = static_cast<float>(sampleRate);
    int length = 0;
    int code = MYSOFA_OK;
    MYSOFA_EASY* sofa = mysofa_open(sofaPath.c_str(), rate, &length, &code);
    if (!sofa || code != MYSOFA_OK || length <= 0)
    {
        if (sofa)
            mysofa_close(sofa);
        error = "cannot read the head-related responses '" + sofaPath +
                "': " + sofaError(code == MYSOFA_OK ? MYSOFA_INVALID_FORMAT : code);
        return false;
    }

    // Each direction's responses, then their onset delays in whole samples.
    grid.azimuths = kHrirAzimuths;
    grid.elevations = kHrirElevations;
    const size_t directions = static_cast<size_t>(grid.directions());
    const size_t taps = static_cast<size_t>(length);
    std::vector<float> rawLeft(directions * taps), rawRight(directions * taps);
    std::vector<int> delays(directions * 2);
    int longest = 0;
    for (int row = 0; row < grid.elevations; ++row)
        for (int column = 0; column < grid.azimuths; ++column)
        {
            const size_t d =
                static_cast<size_t>(row) * static_cast<size_t>(grid.azimuths) + static_cast<size_t>(column);
            // SOFA directions: azimuth counter-clockwise from the front, as the grid's.
            float direction[3] = {static_cast<float>(grid.azimuthDeg(column)),
                                  static_cast<float>(grid.elevationDeg(row)), 1.0f};
            mysofa_s2c(direction);
            float delayLeft = 0.0f, delayRight = 0.0f;
            mysofa_getfilter_float(sofa, direction[0], direction[1], direction[2], rawLeft.data() + d * taps,
                                   rawRight.data() + d * taps, &delayLeft, &delayRight);
            delays[2 * d] = static_cast<int>(std::lround(std::max(0.0f, delayLeft) * rate));
            delays[2 * d + 1] = static_cast<int>(std::lround(std::max(0.0f, delayRight) * rate));
            longest = std::max(longest, length + std::max(delays[2 * d], delays[2 * d + 1]));
        }
    mysofa_close(sofa);

    const bool finite =
        std::all_of(rawLeft.begin(), rawLeft.end(), [](float v) { return std::isfinite(v); }) &&
        std::all_of(rawRight.begin(), rawRight.end(), [](float v) { return std::isfinite(v); });
    if (!finite)
    {
        error = "the head-related responses in '" + sofaPath + "' are not finite numbers";
        return false;
    }
    grid.sampleRate = sampleRate;
    grid.length = longest;
    grid.left.assign(directions * static_cast<size_t>(longest), 0.0f);
    grid.right.assign(directions * static_cast<size_t>(longest), 0.0f);
    for (size_t d = 0; d < directions; ++d)
    {
        const size_t at = d * static_cast<size_t>(longest);
        std::copy_n(rawLeft.begin() + static_cast<long>(d * taps), taps,
                    grid.left.begin() + static_cast<long>(at) + delays[2 * d]);
        std::copy_n(rawRight.begin() + static_cast<long>(d * taps), taps,
                    grid.right.begin() + static_cast<long>(at) + delays[2 * d + 1]);
    }
    return true;
}

} // namespace kalvo
