#include "BinauralRenderer.h"

#include <algorithm>
#include <cmath>
#include <cstring>

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

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr int kP = BinauralRenderer::kPartitionFrames;
constexpr int kSize = 2 * kP;          // transform points: a partition and the one before it
constexpr int kBins = kSize / 2 + 1;   // 65 bins of a real signal's spectrum
constexpr int kStride = 72;            // the bins rounded up to whole pairs of vectors, zeros beyond
constexpr int kSpectrum = 2 * kStride; // the real parts, then the imaginary parts

/// Four floats in one register: the compiler's portable vector type (SSE on x86-64).
typedef float Vec4 __attribute__((vector_size(16)));

Vec4 load4(const float* p) noexcept
{
    Vec4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

Vec4 splat4(float f) noexcept
{
    return Vec4{f, f, f, f};
}

void store4(float* p, Vec4 v) noexcept
{
    std::memcpy(p, &v, sizeof v);
}

void add4(float* p, Vec4 v) noexcept
{
    Vec4 sum = load4(p) + v;
    std::memcpy(p, &sum, sizeof sum);
}

/// An angle taken into -180..180 degrees.
double wrapDeg(double deg) noexcept
{
    return std::remainder(deg, 360.0);
}

} // namespace

double HrirGrid::azimuthDeg(int column) const
{
    const double deg = column * (360.0 / azimuths);
    return deg > 180.0 ? deg - 360.0 : deg;
}

double HrirGrid::elevationDeg(int row) const
{
    return elevations > 1 ? -90.0 + row * (180.0 / (elevations - 1)) : 0.0;
}

int nearestGridDirection(int azimuths, int elevations, double azimuth, double elevation) noexcept
{
    if (azimuths <= 0 || elevations <= 0)
        return 0;
    int row = 0;
    if (elevations > 1)
        row = static_cast<int>(
            std::lround((std::clamp(elevation, -90.0, 90.0) + 90.0) / (180.0 / (elevations - 1))));
    const long column = std::lround(wrapDeg(azimuth) / (360.0 / azimuths));
    return std::clamp(row, 0, elevations - 1) * azimuths +
           static_cast<int>(((column % azimuths) + azimuths) % azimuths);
}

HeadDirection headRelativeDirection(double azimuthDeg, const HeadOrientation& head) noexcept
{
    // The head's frame: x ahead, y to the left, z up. The source's direction
    // turns the opposite way to the head: first back by the yaw, then by the
    // pitch, then by the roll.
    const double a = -azimuthDeg * kDegToRad;
    const double yaw = head.yawDeg * kDegToRad, pitch = head.pitchDeg * kDegToRad,
                 roll = head.rollDeg * kDegToRad;
    const double x0 = std::cos(a), y0 = std::sin(a);
    const double x1 = x0 * std::cos(yaw) + y0 * std::sin(yaw);
    const double y1 = -x0 * std::sin(yaw) + y0 * std::cos(yaw);
    // Lifting the nose lowers what was ahead.
    const double x2 = x1 * std::cos(pitch);
    const double z2 = -x1 * std::sin(pitch);
    // Lowering the right ear lifts what was on the right.
    const double y3 = y1 * std::cos(roll) + z2 * std::sin(roll);
    const double z3 = -y1 * std::sin(roll) + z2 * std::cos(roll);
    return {std::atan2(y3, x2) / kDegToRad, std::asin(std::clamp(z3, -1.0, 1.0)) / kDegToRad};
}

bool orientationFromQuaternion(double w, double x, double y, double z, HeadOrientation& head) noexcept
{
    const double norm = std::sqrt(w * w + x * x + y * y + z * z);
    if (!std::isfinite(norm) || norm == 0.0)
        return false;
    w /= norm;
    x /= norm;
    y /= norm;
    z /= norm;
    // The rotation is yaw about z, then a turn about y (which lowers the nose
    // for positive angles, hence the pitch's sign), then roll about x.
    head.yawDeg = std::atan2(2.0 * (w * z + x * y), 1.0 - 2.0 * (y * y + z * z)) / kDegToRad;
    head.pitchDeg = -std::asin(std::clamp(2.0 * (w * y - z * x), -1.0, 1.0)) / kDegToRad;
    head.rollDeg = std::atan2(2.0 * (w * x + y * z), 1.0 - 2.0 * (x * x + y * y)) / kDegToRad;
    return true;
}

/// A 128-point complex transform, radix 2, on split real and imaginary parts.
/// Forward is X[k] = sum x[n] e^(-2 pi i k n / 128), inverse the same with +i;
/// neither divides by the size.
struct BinauralRenderer::Fft
{
    Fft()
    {
        // The pairs of places the bit-reversed order swaps.
        for (int i = 0; i < kSize; ++i)
        {
            int r = 0;
            for (int bit = 1, rbit = kSize / 2; bit < kSize; bit <<= 1, rbit >>= 1)
                if (i & bit)
                    r |= rbit;
            if (r > i)
                swaps[static_cast<size_t>(swapCount++)] = {static_cast<unsigned char>(i),
                                                           static_cast<unsigned char>(r)};
        }
        // The twiddles of each stage side by side: stage len uses e^(-2 pi i j / len), j < len / 2,
        // stored from offset len / 2 - 1.
        for (int len = 2; len <= kSize; len <<= 1)
            for (int j = 0; j < len / 2; ++j)
            {
                const size_t at = static_cast<size_t>(len / 2 - 1) + static_cast<size_t>(j);
                cosine[at] = static_cast<float>(std::cos(2.0 * kPi * j / len));
                sine[at] = static_cast<float>(std::sin(2.0 * kPi * j / len));
            }
    }

    void transform(bool inverse) noexcept
    {
        for (int p = 0; p < swapCount; ++p)
        {
            const size_t i = swaps[static_cast<size_t>(p)][0], r = swaps[static_cast<size_t>(p)][1];
            std::swap(re[i], re[r]);
            std::swap(im[i], im[r]);
        }
        const float sign = inverse ? 1.0f : -1.0f;
        float* __restrict r = re.data();
        float* __restrict m = im.data();
        // The first two stages together: their twiddles are 1 and -i (forward) or +i.
        for (int i = 0; i < kSize; i += 4)
        {
            const float ar = r[i] + r[i + 1], am = m[i] + m[i + 1];
            const float br = r[i] - r[i + 1], bm = m[i] - m[i + 1];
            const float cr = r[i + 2] + r[i + 3], cm = m[i + 2] + m[i + 3];
            const float dr = r[i + 2] - r[i + 3], dm = m[i + 2] - m[i + 3];
            // d times the twiddle of j = 1: (dr + i dm)(0 + i sign) = -sign dm + i sign dr.
            const float tr = -sign * dm, tm = sign * dr;
            r[i] = ar + cr;
            m[i] = am + cm;
            r[i + 2] = ar - cr;
            m[i + 2] = am - cm;
            r[i + 1] = br + tr;
            m[i + 1] = bm + tm;
            r[i + 3] = br - tr;
            m[i + 3] = bm - tm;
        }
        // The later stages four butterflies at a time.
        const Vec4 signs = splat4(sign);
        for (int len = 8; len <= kSize; len <<= 1)
        {
            const int half = len / 2;
            const float* wc = cosine.data() + half - 1;
            const float* ws = sine.data() + half - 1;
            for (int i = 0; i < kSize; i += len)
                for (int j = 0; j < half; j += 4)
                {
                    float* ur = r + i + j;
                    float* um = m + i + j;
                    float* vr = ur + half;
                    float* vm = um + half;
                    const Vec4 wr = load4(wc + j), wi = signs * load4(ws + j);
                    const Vec4 xr = load4(vr), xm = load4(vm), ar = load4(ur), am = load4(um);
                    const Vec4 tr = xr * wr - xm * wi;
                    const Vec4 tm = xr * wi + xm * wr;
                    store4(vr, ar - tr);
                    store4(vm, am - tm);
                    store4(ur, ar + tr);
                    store4(um, am + tm);
                }
        }
    }

    /// Two real signals in, as re and im; out, both spectra at twice their size.
    void splitPair(float* first, float* second) const noexcept
    {
        for (int k = 0; k < kBins; ++k)
        {
            const size_t p = static_cast<size_t>(k), n = static_cast<size_t>((kSize - k) % kSize);
            first[k] = re[p] + re[n];
            first[kStride + k] = im[p] - im[n];
            if (second)
            {
                second[k] = im[p] + im[n];
                second[kStride + k] = re[n] - re[p];
            }
        }
    }

    /// Two spectra of real signals in; after the inverse transform, re and im hold the signals.
    void joinPair(const float* first, const float* second) noexcept
    {
        for (int k = 0; k < kBins; ++k)
        {
            re[static_cast<size_t>(k)] = first[k] - second[kStride + k];
            im[static_cast<size_t>(k)] = first[kStride + k] + second[k];
        }
        for (int k = kBins; k < kSize; ++k)
        {
            const int m = kSize - k;
            re[static_cast<size_t>(k)] = first[m] + second[kStride + m];
            im[static_cast<size_t>(k)] = second[m] - first[kStride + m];
        }
    }

    std::array<std::array<unsigned char, 2>, kSize / 2> swaps{};
    int swapCount = 0;
    std::array<float, kSize - 1> cosine{}, sine{};
    std::array<float, kSize> re{}, im{};
    std::array<float, 2 * kSpectrum> ears{}; ///< the two ears' sums of products
};

BinauralRenderer::BinauralRenderer() : fft_(std::make_unique<Fft>()) {}

BinauralRenderer::~BinauralRenderer() = default;

void BinauralRenderer::setResponses(const HrirGrid& grid)
{
    setResponses(prepareResponses(grid));
}

std::shared_ptr<const BinauralResponses> BinauralRenderer::prepareResponses(const HrirGrid& grid)
{
    auto prepared = std::make_shared<BinauralResponses>();
    const size_t taps = static_cast<size_t>(std::max(0, grid.length));
    const size_t count = static_cast<size_t>(std::max(0, grid.azimuths) * std::max(0, grid.elevations));
    const bool usable = taps > 0 && count > 0 && grid.sampleRate > 0.0 && grid.left.size() == count * taps &&
                        grid.right.size() == count * taps;
    if (!usable)
        return prepared;
    prepared->directions = static_cast<int>(count);
    prepared->sampleRate = grid.sampleRate;
    prepared->azimuths = grid.azimuths;
    prepared->elevations = grid.elevations;
    prepared->partitions = (grid.length - 1) / kP;
    const size_t parts = static_cast<size_t>(prepared->partitions);
    prepared->directTaps.assign(count * 2 * kP, 0.0f);
    prepared->spectra.assign(count * 2 * parts * kSpectrum, 0.0f);
    // The spectra carry the headroom, the factor 2 of the paired forward
    // transform and the inverse transform's factor of the size.
    const float spectrumScale = kBinauralHeadroom / static_cast<float>(2 * kSize);
    Fft fft;
    for (size_t d = 0; d < count; ++d)
        for (size_t e = 0; e < 2; ++e)
        {
            const float* h = (e == 0 ? grid.left : grid.right).data() + d * taps;
            float* direct = prepared->directTaps.data() + (d * 2 + e) * kP;
            for (size_t k = 0; k < kP && k < taps; ++k)
                direct[k] = h[k] * kBinauralHeadroom;
            for (size_t j = 0; j < parts; ++j)
            {
                fft.re.fill(0.0f);
                fft.im.fill(0.0f);
                for (size_t k = 0; k < kP && (j + 1) * kP + k < taps; ++k)
                    fft.re[k] = h[(j + 1) * kP + k] * spectrumScale;
                fft.transform(false);
                // A lone real signal: its spectrum is the transform itself.
                float* s = prepared->spectra.data() + ((d * 2 + e) * parts + j) * kSpectrum;
                for (size_t k = 0; k < kBins; ++k)
                {
                    s[k] = fft.re[k];
                    s[kStride + k] = fft.im[k];
                }
            }
        }
    return prepared;
}

void BinauralRenderer::setResponses(std::shared_ptr<const BinauralResponses> responses)
{
    responses_ = std::move(responses);
    const bool usable = responses_ && responses_->directions > 0;
    directions_ = usable ? responses_->directions : 0;
    sampleRate_ = usable ? responses_->sampleRate : 0.0;
    azimuths_ = usable ? responses_->azimuths : 0;
    elevations_ = usable ? responses_->elevations : 0;
    partitions_ = usable ? responses_->partitions : 0;
    directTaps_ = usable ? responses_->directTaps.data() : nullptr;
    spectra_ = usable ? responses_->spectra.data() : nullptr;
    const size_t parts = static_cast<size_t>(partitions_);
    history_.assign(kVirtualSpeakers * kSize, 0.0f);
    spectraIn_.assign(kVirtualSpeakers * parts * kSpectrum, 0.0f);
    tail_.assign(2 * 2 * kP, 0.0f);
    olderSlots_.assign(parts, 0);
    scratch_.assign(2 * 2 * kP, 0.0f);
    glideCoefficient_ = usable ? 1.0 - std::exp(-kP / (kGlideMs * 0.001 * sampleRate_)) : 1.0;
    reset();
}

void BinauralRenderer::reset() noexcept
{
    std::fill(history_.begin(), history_.end(), 0.0f);
    std::fill(spectraIn_.begin(), spectraIn_.end(), 0.0f);
    std::fill(tail_.begin(), tail_.end(), 0.0f);
    slot_ = 0;
    pos_ = 0;
    fading_ = false;
    current_ = target_;
    for (int s = 0; s < kVirtualSpeakers; ++s)
        dirs_[static_cast<size_t>(s)] = directionOf(s);
    nextDirs_ = dirs_;
}

void BinauralRenderer::setOrientation(const HeadOrientation& head) noexcept
{
    if (std::isfinite(head.yawDeg) && std::isfinite(head.pitchDeg) && std::isfinite(head.rollDeg))
        target_ = {wrapDeg(head.yawDeg), wrapDeg(head.pitchDeg), wrapDeg(head.rollDeg)};
}

int BinauralRenderer::directionOf(int speaker) const noexcept
{
    if (directions_ == 0)
        return 0;
    const HeadDirection d =
        headRelativeDirection(kVirtualSpeakerLayout[static_cast<size_t>(speaker)].azimuthDeg, current_);
    return nearestGridDirection(azimuths_, elevations_, d.azimuthDeg, d.elevationDeg);
}

void BinauralRenderer::chooseResponses() noexcept
{
    const auto glide = [this](double from, double to)
    {
        const double step = wrapDeg(to - from);
        return std::fabs(step) < 1e-6 ? to : wrapDeg(from + glideCoefficient_ * step);
    };
    current_ = {glide(current_.yawDeg, target_.yawDeg), glide(current_.pitchDeg, target_.pitchDeg),
                glide(current_.rollDeg, target_.rollDeg)};
    for (int s = 0; s < kVirtualSpeakers; ++s)
    {
        nextDirs_[static_cast<size_t>(s)] = directionOf(s);
        fading_ = fading_ || nextDirs_[static_cast<size_t>(s)] != dirs_[static_cast<size_t>(s)];
    }
}

void BinauralRenderer::tailFor(const std::array<int, kVirtualSpeakers>& dirs, float* left,
                               float* right) noexcept
{
    const size_t parts = static_cast<size_t>(partitions_);
    float* ears = fft_->ears.data();
    const float* in = spectraIn_.data();
    // Where each partition's spectrum is: partition j + 1 of a response meets
    // the input spectrum j partitions older than the newest.
    size_t* older = olderSlots_.data();
    for (size_t j = 0; j < parts; ++j)
        older[j] = ((static_cast<size_t>(slot_) + parts - j) % parts) * kSpectrum;
    for (size_t e = 0; e < 2; ++e)
        // Eight bins at a time, their sums held in registers over every speaker and partition.
        for (size_t k = 0; k < kStride; k += 8)
        {
            // Two sets of sums, for the even and the odd partitions, keep the adder busy.
            Vec4 re0{}, im0{}, re1{}, im1{}, re2{}, im2{}, re3{}, im3{};
            for (size_t s = 0; s < kVirtualSpeakers; ++s)
            {
                const float* h = spectra_ + (static_cast<size_t>(dirs[s]) * 2 + e) * parts * kSpectrum + k;
                const float* speaker = in + s * parts * kSpectrum + k;
                const auto multiply =
                    [](const float* x, const float* h, Vec4& re0, Vec4& im0, Vec4& re1, Vec4& im1)
                {
                    const Vec4 xr0 = load4(x), xi0 = load4(x + kStride), hr0 = load4(h),
                               hi0 = load4(h + kStride);
                    const Vec4 xr1 = load4(x + 4), xi1 = load4(x + kStride + 4), hr1 = load4(h + 4),
                               hi1 = load4(h + kStride + 4);
                    re0 += xr0 * hr0 - xi0 * hi0;
                    im0 += xr0 * hi0 + xi0 * hr0;
                    re1 += xr1 * hr1 - xi1 * hi1;
                    im1 += xr1 * hi1 + xi1 * hr1;
                };
                size_t j = 0;
                for (; j + 2 <= parts; j += 2, h += 2 * kSpectrum)
                {
                    multiply(speaker + older[j], h, re0, im0, re1, im1);
                    multiply(speaker + older[j + 1], h + kSpectrum, re2, im2, re3, im3);
                }
                if (j < parts)
                    multiply(speaker + older[j], h, re0, im0, re1, im1);
            }
            re0 += re2;
            im0 += im2;
            re1 += re3;
            im1 += im3;
            float* out = ears + e * kSpectrum + k;
            std::memcpy(out, &re0, sizeof re0);
            std::memcpy(out + 4, &re1, sizeof re1);
            std::memcpy(out + kStride, &im0, sizeof im0);
            std::memcpy(out + kStride + 4, &im1, sizeof im1);
        }
    fft_->joinPair(ears, ears + kSpectrum);
    fft_->transform(true);
    // Overlap-save: the second half is the linear convolution's.
    std::copy(fft_->re.begin() + kP, fft_->re.end(), left);
    std::copy(fft_->im.begin() + kP, fft_->im.end(), right);
}

void BinauralRenderer::endPartition() noexcept
{
    const size_t parts = static_cast<size_t>(partitions_);
    if (parts > 0)
    {
        slot_ = (slot_ + 1) % partitions_;
        for (size_t s = 0; s < kVirtualSpeakers; s += 2)
        {
            const float* first = history_.data() + s * kSize;
            std::copy(first, first + kSize, fft_->re.begin());
            if (s + 1 < kVirtualSpeakers)
                std::copy(first + kSize, first + 2 * kSize, fft_->im.begin());
            else
                fft_->im.fill(0.0f);
            fft_->transform(false);
            float* out = spectraIn_.data() + (s * parts + static_cast<size_t>(slot_)) * kSpectrum;
            fft_->splitPair(out, s + 1 < kVirtualSpeakers ? out + parts * kSpectrum : nullptr);
        }
    }
    for (size_t s = 0; s < kVirtualSpeakers; ++s)
        std::copy_n(history_.begin() + static_cast<long>(s * kSize + kP), kP,
                    history_.begin() + static_cast<long>(s * kSize));
    if (fading_)
        dirs_ = nextDirs_;
    fading_ = false;
    chooseResponses();
    if (parts > 0)
    {
        tailFor(dirs_, tail_.data(), tail_.data() + kP);
        if (fading_)
            tailFor(nextDirs_, tail_.data() + 2 * kP, tail_.data() + 3 * kP);
    }
    pos_ = 0;
}

void BinauralRenderer::direct(const std::array<int, kVirtualSpeakers>& dirs, int frames, float* left,
                              float* right) noexcept
{
    std::fill(left, left + frames, 0.0f);
    std::fill(right, right + frames, 0.0f);
    const int blocked = frames - frames % 8;
    for (size_t s = 0; s < kVirtualSpeakers; ++s)
    {
        // x[t - k] for k up to 63 reaches back into the previous partition.
        const float* x = history_.data() + s * kSize + kP + pos_;
        const float* hl = directTaps_ + static_cast<size_t>(dirs[s]) * 2 * kP;
        const float* hr = hl + kP;
        // Sixteen frames at a time, then eight, their sums held in registers while the taps
        // go by (eight sums apart keep the adder busy); each frame's sum runs over the taps in
        // order, as the scalar loop below does, so every path gives the same samples.
        int t0 = 0;
        for (; t0 + 16 <= frames; t0 += 16)
        {
            Vec4 l0{}, l1{}, l2{}, l3{}, r0{}, r1{}, r2{}, r3{};
            for (int k = 0; k < kP; ++k)
            {
                const float* xs = x + t0 - k;
                const Vec4 x0 = load4(xs), x1 = load4(xs + 4), x2 = load4(xs + 8), x3 = load4(xs + 12);
                const Vec4 l = splat4(hl[k]), r = splat4(hr[k]);
                l0 += l * x0;
                l1 += l * x1;
                l2 += l * x2;
                l3 += l * x3;
                r0 += r * x0;
                r1 += r * x1;
                r2 += r * x2;
                r3 += r * x3;
            }
            add4(left + t0, l0);
            add4(left + t0 + 4, l1);
            add4(left + t0 + 8, l2);
            add4(left + t0 + 12, l3);
            add4(right + t0, r0);
            add4(right + t0 + 4, r1);
            add4(right + t0 + 8, r2);
            add4(right + t0 + 12, r3);
        }
        for (; t0 < blocked; t0 += 8)
        {
            Vec4 left0{}, left1{}, right0{}, right1{};
            for (int k = 0; k < kP; ++k)
            {
                const Vec4 x0 = load4(x + t0 - k), x1 = load4(x + t0 - k + 4);
                const Vec4 l = splat4(hl[k]), r = splat4(hr[k]);
                left0 += l * x0;
                left1 += l * x1;
                right0 += r * x0;
                right1 += r * x1;
            }
            add4(left + t0, left0);
            add4(left + t0 + 4, left1);
            add4(right + t0, right0);
            add4(right + t0 + 4, right1);
        }
        for (int t = blocked; t < frames; ++t)
        {
            float sumLeft = 0.0f, sumRight = 0.0f;
            for (int k = 0; k < kP; ++k)
            {
                sumLeft += hl[k] * x[t - k];
                sumRight += hr[k] * x[t - k];
            }
            left[t] += sumLeft;
            right[t] += sumRight;
        }
    }
}

void BinauralRenderer::renderChunk(int frames, float* left, float* right) noexcept
{
    direct(dirs_, frames, left, right);
    const float* tailLeft = tail_.data() + pos_;
    const float* tailRight = tail_.data() + kP + pos_;
    for (int t = 0; t < frames; ++t)
    {
        left[t] += tailLeft[t];
        right[t] += tailRight[t];
    }
    if (!fading_)
        return;
    float* newLeft = scratch_.data() + 2 * kP;
    float* newRight = newLeft + kP;
    direct(nextDirs_, frames, newLeft, newRight);
    for (int t = 0; t < frames; ++t)
    {
        const float w = static_cast<float>(pos_ + t + 1) / static_cast<float>(kP);
        const float l = newLeft[t] + tailLeft[t + 2 * kP];
        const float r = newRight[t] + tailRight[t + 2 * kP];
        left[t] += (l - left[t]) * w;
        right[t] += (r - right[t]) * w;
    }
}

template <typename In, typename Out>
void BinauralRenderer::process(const In* const decoded[6], Out* left, Out* right, int frames) noexcept
{
    int done = 0;
    while (done < frames)
    {
        const int n = std::min(frames - done, kP - pos_);
        // Every input of the chunk is read before any output is written: they may alias.
        for (size_t s = 0; s < kVirtualSpeakers; ++s)
        {
            const In* src = decoded[kVirtualSpeakerLayout[s].channel] + done;
            float* dst = history_.data() + s * kSize + kP + pos_;
            for (int i = 0; i < n; ++i)
                dst[i] = static_cast<float>(src[i]);
        }
        float* l = scratch_.data();
        float* r = l + kP;
        if (directions_ > 0)
            renderChunk(n, l, r);
        else
            std::fill(scratch_.begin(), scratch_.begin() + 2 * kP, 0.0f);
        for (int i = 0; i < n; ++i)
        {
            left[done + i] = static_cast<Out>(l[i]);
            right[done + i] = static_cast<Out>(r[i]);
        }
        pos_ += n;
        done += n;
        if (pos_ == kP)
            endPartition();
    }
}

template void BinauralRenderer::process<float, float>(const float* const[6], float*, float*, int) noexcept;
template void BinauralRenderer::process<double, double>(const double* const[6], double*, double*,
                                                        int) noexcept;
template void BinauralRenderer::process<double, float>(const double* const[6], float*, float*, int) noexcept;
