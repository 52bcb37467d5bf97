#include "Binaural.h"

#include <kiss_fftr.h>
#include <mysofa.h>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace render
{

// Channels of the decode: L R C LFE Ls Rs.
const std::array<VirtualSpeaker, kVirtualSpeakers> kVirtualSpeakerLayout = {{
    {0, -30.0},
    {1, 30.0},
    {2, 0.0},
    {4, -110.0},
    {5, 110.0},
}};

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

int nextPowerOfTwo(int n)
{
    int p = 1;
    while (p < n)
        p *= 2;
    return p;
}

} // namespace

bool loadHeadResponses(const std::string& sofaPath, int sampleRate, HeadResponses& responses,
                       std::string& error)
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
    int length = 0;
    int code = MYSOFA_OK;
    MYSOFA_EASY* sofa = mysofa_open(sofaPath.c_str(), static_cast<float>(sampleRate), &length, &code);
    if (!sofa || code != MYSOFA_OK || length <= 0)
    {
        if (sofa)
            mysofa_close(sofa);
        error = "cannot read the head-related responses '" + sofaPath +
                "': " + sofaError(code == MYSOFA_OK ? MYSOFA_INVALID_FORMAT : code);
        return false;
    }

    // Each direction's responses with their onset delays (seconds) in front.
    std::vector<float> left(static_cast<size_t>(length)), right(static_cast<size_t>(length));
    int delays[kVirtualSpeakers][2];
    std::array<std::vector<float>, kVirtualSpeakers> rawLeft, rawRight;
    int longest = 0;
    for (int s = 0; s < kVirtualSpeakers; ++s)
    {
        // SOFA directions: azimuth counter-clockwise from the front, so to the left.
        float direction[3] = {static_cast<float>(-kVirtualSpeakerLayout[s].azimuthDeg), 0.0f, 1.0f};
        mysofa_s2c(direction);
        float delayLeft = 0.0f, delayRight = 0.0f;
        mysofa_getfilter_float(sofa, direction[0], direction[1], direction[2], left.data(), right.data(),
                               &delayLeft, &delayRight);
        delays[s][0] =
            static_cast<int>(std::lround(std::max(0.0f, delayLeft) * static_cast<float>(sampleRate)));
        delays[s][1] =
            static_cast<int>(std::lround(std::max(0.0f, delayRight) * static_cast<float>(sampleRate)));
        rawLeft[static_cast<size_t>(s)] = left;
        rawRight[static_cast<size_t>(s)] = right;
        longest = std::max(longest, length + std::max(delays[s][0], delays[s][1]));
    }
    mysofa_close(sofa);

    responses.length = longest;
    for (int s = 0; s < kVirtualSpeakers; ++s)
    {
        const size_t i = static_cast<size_t>(s);
        responses.left[i].assign(static_cast<size_t>(longest), 0.0f);
        responses.right[i].assign(static_cast<size_t>(longest), 0.0f);
        std::copy(rawLeft[i].begin(), rawLeft[i].end(), responses.left[i].begin() + delays[s][0]);
        std::copy(rawRight[i].begin(), rawRight[i].end(), responses.right[i].begin() + delays[s][1]);
        for (float v : responses.left[i])
            if (!std::isfinite(v))
            {
                error = "the head-related responses in '" + sofaPath + "' are not finite numbers";
                return false;
            }
        for (float v : responses.right[i])
            if (!std::isfinite(v))
            {
                error = "the head-related responses in '" + sofaPath + "' are not finite numbers";
                return false;
            }
    }
    return true;
}

// The transforms and the responses' spectra, already scaled by 1 / size (and
// the headroom) so that the inverse transform needs no extra pass.
struct BinauralConvolver::Fft
{
    explicit Fft(int size)
        : forward(kiss_fftr_alloc(size, 0, nullptr, nullptr)),
          inverse(kiss_fftr_alloc(size, 1, nullptr, nullptr))
    {
    }
    ~Fft()
    {
        kiss_fftr_free(forward);
        kiss_fftr_free(inverse);
    }
    Fft(const Fft&) = delete;
    Fft& operator=(const Fft&) = delete;

    kiss_fftr_cfg forward;
    kiss_fftr_cfg inverse;
    std::vector<kiss_fft_cpx> response[kVirtualSpeakers][2];
    std::vector<kiss_fft_cpx> feed, ear[2];
};

BinauralConvolver::BinauralConvolver(const HeadResponses& responses)
{
    const int length = std::max(1, responses.length);
    // At least twice the response, so that a block's tail fits into the next
    // block's output; four times keeps the transforms' share per frame low.
    fftSize_ = std::max(1024, nextPowerOfTwo(4 * length));
    hop_ = fftSize_ - length + 1;
    fft_ = std::make_unique<Fft>(fftSize_);
    const size_t bins = static_cast<size_t>(fftSize_) / 2 + 1;
    std::vector<float> padded(static_cast<size_t>(fftSize_));
    const float scale = kBinauralHeadroom / static_cast<float>(fftSize_);
    for (int s = 0; s < kVirtualSpeakers; ++s)
        for (int e = 0; e < 2; ++e)
        {
            const std::vector<float>& ir =
                e == 0 ? responses.left[static_cast<size_t>(s)] : responses.right[static_cast<size_t>(s)];
            std::fill(padded.begin(), padded.end(), 0.0f);
            for (size_t i = 0; i < ir.size() && i < padded.size(); ++i)
                padded[i] = ir[i] * scale;
            fft_->response[s][e].resize(bins);
            kiss_fftr(fft_->forward, padded.data(), fft_->response[s][e].data());
        }
    fft_->feed.resize(bins);
    fft_->ear[0].resize(bins);
    fft_->ear[1].resize(bins);
    for (auto& in : input_)
        in.assign(static_cast<size_t>(fftSize_), 0.0f);
    overlap_[0].assign(static_cast<size_t>(fftSize_ - hop_), 0.0f);
    overlap_[1].assign(static_cast<size_t>(fftSize_ - hop_), 0.0f);
    scratch_.assign(static_cast<size_t>(fftSize_), 0.0f);
}

BinauralConvolver::~BinauralConvolver() = default;

template <typename Sample>
void BinauralConvolver::process(const Sample* const decoded[6], int frames, std::vector<float>& left,
                                std::vector<float>& right)
{
    int done = 0;
    while (done < frames)
    {
        const int n = std::min(frames - done, hop_ - filled_);
        for (int s = 0; s < kVirtualSpeakers; ++s)
        {
            const Sample* src = decoded[kVirtualSpeakerLayout[static_cast<size_t>(s)].channel] + done;
            float* dst = input_[static_cast<size_t>(s)].data() + filled_;
            for (int i = 0; i < n; ++i)
                dst[i] = static_cast<float>(src[i]);
        }
        filled_ += n;
        done += n;
        if (filled_ == hop_)
            runBlock(hop_, left, right);
    }
}

void BinauralConvolver::finish(std::vector<float>& left, std::vector<float>& right)
{
    if (filled_ > 0)
        runBlock(filled_, left, right);
}

void BinauralConvolver::runBlock(int validFrames, std::vector<float>& left, std::vector<float>& right)
{
    // The samples past the valid ones must be zero for the linear convolution.
    for (auto& in : input_)
        std::fill(in.begin() + validFrames, in.end(), 0.0f);
    const size_t bins = fft_->feed.size();
    for (int e = 0; e < 2; ++e)
        std::fill(fft_->ear[e].begin(), fft_->ear[e].end(), kiss_fft_cpx{0.0f, 0.0f});
    for (int s = 0; s < kVirtualSpeakers; ++s)
    {
        kiss_fftr(fft_->forward, input_[static_cast<size_t>(s)].data(), fft_->feed.data());
        for (int e = 0; e < 2; ++e)
        {
            const kiss_fft_cpx* h = fft_->response[s][e].data();
            const kiss_fft_cpx* x = fft_->feed.data();
            kiss_fft_cpx* y = fft_->ear[e].data();
            for (size_t k = 0; k < bins; ++k)
            {
                y[k].r += x[k].r * h[k].r - x[k].i * h[k].i;
                y[k].i += x[k].r * h[k].i + x[k].i * h[k].r;
            }
        }
    }
    const size_t tail = overlap_[0].size();
    for (int e = 0; e < 2; ++e)
    {
        kiss_fftri(fft_->inverse, fft_->ear[e].data(), scratch_.data());
        std::vector<float>& out = e == 0 ? left : right;
        std::vector<float>& overlap = overlap_[e];
        // The tail is shorter than a block: it adds onto the start of this one.
        for (size_t i = 0; i < tail; ++i)
            scratch_[i] += overlap[i];
        out.insert(out.end(), scratch_.begin(), scratch_.begin() + validFrames);
        for (size_t i = 0; i < tail; ++i)
            overlap[i] = scratch_[static_cast<size_t>(validFrames) + i];
    }
    filled_ = 0;
}

template void BinauralConvolver::process<float>(const float* const[6], int, std::vector<float>&,
                                                std::vector<float>&);
template void BinauralConvolver::process<double>(const double* const[6], int, std::vector<float>&,
                                                 std::vector<float>&);

} // namespace render
