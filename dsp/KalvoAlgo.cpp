#include "KalvoAlgo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace
{
/// Pi in single precision, widened: every angle conversion uses it, which keeps
/// tan() finite at 0 and 90 degrees.
constexpr double kPi = 3.1415927410125732;
constexpr double kDegToRad = 0.017453293005625408;
constexpr double kQuarterPi = 0.7853981852531433;
constexpr double kInvSqrt2 = 0.7071067811865475;
constexpr double kOneMinusInvSqrt2 = 0.29289321881345254;
using subblock::kDenormalGuard;
using subblock::kShelfBoost;
using subblock::kSideGain;
/// Shelf constants: transition near 100 Hz, +8 dB (x2.512) below it.
constexpr double kShelfHz = 100.0;
constexpr double kShelfK = 1.1389521640091116;

/// The bases of the compensation powers are never negative for patterns and
/// angles in range; host values outside it (a pattern above 1, an angle beyond
/// 90 degrees) would make them negative and the power NaN, so they stop at 0.
double nonNegative(double x)
{
    return x > 0.0 ? x : 0.0;
}

double shelfCoefficient(double samplingRate)
{
    const double w = kShelfHz * KalvoAlgo::twoPi / samplingRate;
    return (std::tan(w * -0.5) * kShelfK + 1.0) / (std::tan(w * 0.5) * kShelfK + 1.0);
}

/// Keeps the low-pass corner where the bilinear first-order section is stable.
double limitCornerKHz(double cornerKHz, double samplingRate)
{
    if (!(cornerKHz >= KalvoAlgo::kMinCornerKHz)) // also catches NaN
        cornerKHz = KalvoAlgo::kMinCornerKHz;
    const double maxKHz = KalvoAlgo::kMaxCornerFraction * samplingRate / 1000.0;
    if (cornerKHz > maxKHz)
        cornerKHz = maxKHz;
    return cornerKHz;
}

void lowPassCoefficients(double cornerKHz, double samplingRate, double& a, double& b)
{
    const double w = 1000.0 * limitCornerKHz(cornerKHz, samplingRate) * KalvoAlgo::twoPi / samplingRate;
    a = std::cos(w) / (std::sin(w) + 1.0);
    b = (1.0 - a) * 0.5;
}

/// One step of the surround low-pass. A state that is no longer finite (after
/// non-finite input) is cleared, so the filter recovers with the input.
inline double lowPass(double x, double a, double b, double& stateX, double& stateY)
{
    const double xg = x + kDenormalGuard;
    const double y = (xg + stateX) * b + a * stateY;
    stateX = xg;
    stateY = y;
    if (!std::isfinite(y) || !std::isfinite(xg))
        stateX = stateY = 0.0;
    return y;
}

bool isUsableRate(double sr)
{
    return std::isfinite(sr) && sr > 0.0;
}
} // namespace

KalvoAlgo::KalvoAlgo(double samplingRate, FadeStepPrecision fadeStepPrecision)
    : samplingRate(isUsableRate(samplingRate) ? samplingRate : 44100.0)
{
    frontOmniWeight = rearOmniWeight = 0.0;
    centerPattern = lrPattern = lsrsPattern = 0.7300000190734863;
    lrOffset = 0.20000000298023224;
    lsrsOffset = 0.4000000059604645;
    delay = 1.0;
    rearSlopeFilter = 0.0;
    frontLevel = rearLevel = 0.0;
    centerLevel = 0.25;
    centerMute = frontMute = rearMute = 0.0;
    for (SharedValue<double>& m : meterLevel)
        m = 0.0;
    kernel = subblock::fastestKernel();
    kernelFunction = subblock::kernelFunction(kernel);
    workspace = std::make_unique<subblock::Workspace>();
    delayLine = std::make_unique<CDelayLine>(1.0, this->samplingRate, 2, 200.0, fadeStepPrecision);
    for (CVUMeter& m : vuMeter)
    {
        m.setSampleRate(this->samplingRate);
        m.reset();
    }
    // Valid coefficients from the start, so that processing before the owner's
    // first parameter load gives finite output instead of 0/0.
    setInternalVariables();
}

KalvoAlgo::~KalvoAlgo() = default;

void KalvoAlgo::setLROffset(double x)
{
    lrOffset = knobmap::kFrontAngleDeg.toUnit(x);
    setInternalVariables();
}

void KalvoAlgo::setLSRSOffset(double x)
{
    lsrsOffset = knobmap::kSurroundEngineAngleDeg.toUnit(x);
    setInternalVariables();
}

void KalvoAlgo::setDelay(double x)
{
    delay = x;
    // The line ignores a delay that is not finite; such a request must not take
    // a place in the mailbox either.
    const double ms = knobmap::kRearDelayMs.toUnit(x);
    if (std::isfinite(ms))
        delayRequests.post(ms);
}

void KalvoAlgo::applyDelayRequests() noexcept
{
    delayRequests.take([this](double ms) { delayLine->setDelay(ms); });
}

bool KalvoAlgo::setKernel(subblock::Kernel k) noexcept
{
    if (!subblock::isSupported(k))
        return false;
    kernel = k;
    kernelFunction = subblock::kernelFunction(k);
    return true;
}

void KalvoAlgo::setRearSlopeFilter(double x)
{
    rearSlopeFilter = knobmap::kRearLowPassKHz.toUnit(x);
}

void KalvoAlgo::setSamplingRate(double sr)
{
    if (!isUsableRate(sr))
        return;
    // Delay changes made before the rate change take effect first, as if they
    // had gone straight to the line.
    applyDelayRequests();
    samplingRate = sr;
    for (CVUMeter& m : vuMeter)
        m.setSampleRate(sr);
    delayLine->setSamplingRate(sr);
}

void KalvoAlgo::reset() noexcept
{
    applyDelayRequests();
    delayLine->reset();
    delayIn[0] = delayIn[1] = 0.0;
    delayOut[0] = delayOut[1] = 0.0;
    for (CVUMeter& m : vuMeter)
        m.reset();
    filters = subblock::FilterState();
}

void KalvoAlgo::setInternalVariables()
{
    const DecoderCoefficients k = deriveCoefficients(lrPattern, lrOffset, lsrsPattern, lsrsOffset);
    frontOmniWeight = k.frontOmniWeight;
    frontSideBalance = k.frontSideBalance;
    frontAngleComp = k.frontAngleComp;
    frontPatternComp = k.frontPatternComp;
    frontNorm = k.frontNorm;
    rearOmniWeight = k.rearOmniWeight;
    rearSideBalance = k.rearSideBalance;
    rearAngleComp = k.rearAngleComp;
    rearPatternComp = k.rearPatternComp;
    rearNorm = k.rearNorm;
}

DecoderCoefficients KalvoAlgo::deriveCoefficients(double lrPattern, double lrOffset, double lsrsPattern,
                                                  double lsrsOffset)
{
    const double r = kInvSqrt2;
    const double q = kOneMinusInvSqrt2;
    DecoderCoefficients k;

    // Front pair.
    const double p = lrPattern;
    const double theta = lrOffset;
    const double c = std::sqrt(p * -2.0 + 1.0 + p * p);
    const double t = std::tan(kPi - theta * kDegToRad);
    const double e = c / std::sqrt(t * t + 1.0) + p;
    k.frontOmniWeight = p / e;
    k.frontSideBalance = e / (c / std::sqrt(1.0 / (t * t) + 1.0) + e);

    // Surround pair.
    const double p2 = lsrsPattern;
    const double theta2 = lsrsOffset;
    const double c2 = std::sqrt(p2 * -2.0 + 1.0 + p2 * p2);
    const double t2 = std::tan(kPi - (90.0 - theta2) * kDegToRad);
    const double e2 = c2 / std::sqrt(t2 * t2 + 1.0) + p2;
    k.rearOmniWeight = p2 / e2;
    k.rearSideBalance = e2 / (c2 / std::sqrt(1.0 / (t2 * t2) + 1.0) + e2);

    // Loudness compensation.
    k.frontAngleComp =
        1.0 - q * std::pow(nonNegative(std::sin(2.0 * std::fabs(theta - 0.001) * kDegToRad)), 0.7);
    k.rearAngleComp =
        1.0 - q * std::pow(nonNegative(std::sin(2.0 * std::fabs(theta2 - 90.001) * kDegToRad)), 0.7);
    const double u = std::pow(nonNegative(std::sin((1.0 - p) * kQuarterPi)), 0.85);
    k.frontPatternComp = ((1.0 - (u + 1.0)) / 2.58 + 1.0) / k.frontAngleComp;
    const double u2 = std::pow(nonNegative(std::sin((1.0 - p2) * kQuarterPi)), 0.85);
    k.rearPatternComp = ((1.0 - (u2 + 1.0)) / 2.58 + 1.0) / k.rearAngleComp;
    k.frontNorm = k.frontPatternComp + (1.0 - k.frontPatternComp) * (k.frontAngleComp - r) / q;
    k.rearNorm = k.rearPatternComp + (1.0 - k.rearPatternComp) * (k.rearAngleComp - r) / q;
    return k;
}

double KalvoAlgo::loShelfFigureEight(double x, double f) noexcept
{
    const double xg = x + kDenormalGuard;
    const double y = ((1.0 - f) * 0.5) * (xg + filters.shelfX) + f * filters.shelfY;
    filters.shelfX = xg;
    filters.shelfY = y;
    if (!std::isfinite(y) || !std::isfinite(xg))
        filters.shelfX = filters.shelfY = 0.0;
    return y * kShelfBoost + xg;
}

subblock::Settings KalvoAlgo::readSettings() noexcept
{
    const double inputs[4] = {lrPattern, lrOffset, lsrsPattern, lsrsOffset};
    // Compared as bits on purpose: the cache answers "same settings as last time", and a NaN
    // setting held since the last block is the same setting.
    // NOLINTNEXTLINE(bugprone-suspicious-memory-comparison)
    if (!coefficientsValid || std::memcmp(inputs, coefficientInputs, sizeof inputs) != 0)
    {
        coefficients = deriveCoefficients(inputs[0], inputs[1], inputs[2], inputs[3]);
        std::memcpy(coefficientInputs, inputs, sizeof inputs);
        coefficientsValid = true;
    }
    const DecoderCoefficients& c = coefficients;
    subblock::Settings s;
    s.frontOmniWeight = c.frontOmniWeight;
    s.frontOmniComplement = 1.0 - c.frontOmniWeight;
    s.frontSideBalance = c.frontSideBalance;
    s.frontSideComplement = 1.0 - c.frontSideBalance;
    s.frontDivisor = c.frontNorm * c.frontAngleComp;
    s.frontLevel = frontLevel;
    s.rearOmniWeight = c.rearOmniWeight;
    s.rearOmniComplement = 1.0 - c.rearOmniWeight;
    s.rearSideBalance = c.rearSideBalance;
    s.rearSideComplement = 1.0 - c.rearSideBalance;
    s.rearDivisor = c.rearNorm * c.rearAngleComp;
    s.rearLevel = rearLevel;
    s.centerPattern = centerPattern;
    s.centerComplement = 1.0 - s.centerPattern;
    s.centerLevel = centerLevel;
    s.centerMuted = centerMute == 1.0;
    s.frontMuted = frontMute == 1.0;
    s.rearMuted = rearMute == 1.0;

    const double rate = samplingRate;
    if (rate != shelfCacheRate)
    {
        shelfCacheF = shelfCoefficient(rate);
        shelfCacheRate = rate;
    }
    s.shelfPole = shelfCacheF;
    s.shelfInputWeight = (1.0 - shelfCacheF) * 0.5;
    const double corner = rearSlopeFilter;
    if (rate != lpCacheRate || corner != lpCacheCornerKHz)
    {
        lowPassCoefficients(corner, rate, lpCacheA, lpCacheB);
        lpCacheRate = rate;
        lpCacheCornerKHz = corner;
    }
    s.lowPassPole = lpCacheA;
    s.lowPassInputWeight = lpCacheB;
    return s;
}

void KalvoAlgo::processSamples(const double* const* inputs, double* const* outputs, int sampleFrames) noexcept
{
    applyDelayRequests();
    subblock::Job job;
    job.filters = &filters;
    job.work = workspace.get();
    job.delayLine = delayLine.get();
    for (int done = 0; done < sampleFrames; done += job.frames)
    {
        if (done > 0)
            applyDelayRequests();
        const subblock::Settings settings = readSettings();
        const bool metering = meteringEnabled;
        job.settings = &settings;
        job.meters = metering ? vuMeter : nullptr;
        for (int c = 0; c < kNumInputs; ++c)
            job.in[c] = inputs[c] + done;
        for (int c = 0; c < kNumOutputs; ++c)
            job.out[c] = outputs[c] + done;
        job.frames = std::min(subblock::kFrames, sampleFrames - done);
        kernelFunction(job);
        if (metering)
            for (int k = 0; k < kNumMeters; ++k)
                meterLevel[k] = vuMeter[k].getValue();
    }
}

void KalvoAlgo::processSamplesReference(const double* const* inputs, double* const* outputs,
                                        int sampleFrames) noexcept
{
    applyDelayRequests();
    const double* inM = inputs[0];
    const double* inS = inputs[1];
    const double* inMr = inputs[2];
    double* outL = outputs[0];
    double* outR = outputs[1];
    double* outC = outputs[2];
    double* outLfe = outputs[3];
    double* outLs = outputs[4];
    double* outRs = outputs[5];
    // One thread only: the fields keep their values for the whole call.
    const double frontOmniWeight = this->frontOmniWeight, frontSideBalance = this->frontSideBalance;
    const double frontNorm = this->frontNorm, frontAngleComp = this->frontAngleComp;
    const double rearOmniWeight = this->rearOmniWeight, rearSideBalance = this->rearSideBalance;
    const double rearNorm = this->rearNorm, rearAngleComp = this->rearAngleComp;
    const double frontLevel = this->frontLevel, rearLevel = this->rearLevel, centerLevel = this->centerLevel;
    const double centerPattern = this->centerPattern, rearSlopeFilter = this->rearSlopeFilter;
    const double centerMute = this->centerMute, frontMute = this->frontMute, rearMute = this->rearMute;
    const bool meteringEnabled = this->meteringEnabled;

    for (int i = 0; i < sampleFrames; ++i)
    {
        // Read the whole frame before writing any output: buffers may alias.
        const double m = inM[i];
        const double mr = inMr[i];
        const double s = inS[i] * kSideGain;
        const double o = m + mr;
        const double fig = m - mr;

        const double rate = samplingRate;
        const double corner = rearSlopeFilter;
        const double shelfF = shelfCoefficient(rate);
        double lpA, lpB;
        lowPassCoefficients(corner, rate, lpA, lpB);

        const double sp = loShelfFigureEight(s, shelfF);

        const double x = o * frontOmniWeight + (1.0 - frontOmniWeight) * fig;
        const double a = x * frontSideBalance;
        const double b = (1.0 - frontSideBalance) * sp;
        const double d = frontNorm * frontAngleComp;
        double l = ((a + b) * frontLevel) / d;
        double r = (frontLevel * (a - b)) / d;

        double c = (o * centerPattern + (1.0 - centerPattern) * fig) * centerLevel;

        const double y = o * rearOmniWeight - (1.0 - rearOmniWeight) * fig;
        const double a2 = y * rearSideBalance;
        const double b2 = (1.0 - rearSideBalance) * sp;
        const double d2 = rearNorm * rearAngleComp;
        delayIn[0] = ((a2 + b2) * rearLevel) / d2;
        delayIn[1] = (rearLevel * (a2 - b2)) / d2;
        delayLine->processFrame(delayIn, delayOut);
        double ls = delayOut[0];
        double rs = delayOut[1];

        if (centerMute == 1.0)
            c = 0.0;
        if (frontMute == 1.0)
            l = r = 0.0;
        if (rearMute == 1.0)
            ls = rs = 0.0;

        if (meteringEnabled)
        {
            vuMeter[0].processSample(m);
            vuMeter[1].processSample(mr);
            vuMeter[2].processSample(s);
            vuMeter[3].processSample(c);
            vuMeter[4].processSample(l);
            vuMeter[5].processSample(r);
            vuMeter[6].processSample(ls);
            vuMeter[7].processSample(rs);
        }

        outL[i] = l;
        outR[i] = r;
        outC[i] = c;
        outLfe[i] = 0.0;
        outLs[i] = lowPass(ls, lpA, lpB, filters.lowPassLeftX, filters.lowPassLeftY);
        outRs[i] = lowPass(rs, lpA, lpB, filters.lowPassRightX, filters.lowPassRightY);
    }
    if (meteringEnabled && sampleFrames > 0)
        for (int k = 0; k < kNumMeters; ++k)
            meterLevel[k] = vuMeter[k].getValue();
}
