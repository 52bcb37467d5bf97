#pragma once

// Binaural sound from the 5.1 decode: each speaker feed (L, R, C, Ls, Rs; the
// LFE channel is silent) is played over a virtual loudspeaker at 30 degrees
// left, 30 right, straight ahead, 110 left and 110 right, and reaches each ear
// through that direction's head-related impulse response.
//
// The responses come from a SOFA file (AES69) through libmysofa, which
// resamples them to the recording's rate (the measured set Debian ships, 512
// taps at 44.1 kHz, becomes 558 taps at 48 kHz) and normalises their level:
// a speaker straight ahead reaches each ear at about its own level. Five
// speakers add up at one ear, and a near ear gains up to 4 dB, so the ear
// signals are written 6 dB down (kBinauralHeadroom): about the level of the
// 5.1 decode, not a guarantee of full scale. Three independent capsule
// signals each peaking at full scale (60 s at 48 kHz) peak at the ears at
// +1.8 dBFS as pink noise (5.1: +4.7) and +11.8 dBFS as white noise (5.1:
// +5.7), where the ears' high-frequency gain adds up; the tool's clip
// warning names the gain that avoids it.
//
// The convolution is FFT overlap-add with kissfft: BSD-licensed, so the tool
// stays free of copyleft terms (FFTW is GPL), in Debian's archive and
// maintained upstream, and fast enough: 10 minutes at 48 kHz take about 2 s of
// one core. The five feeds are transformed once per block and summed per ear
// in the frequency domain: five forward and two inverse transforms per block.

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace render
{

/// The Debian package's measured set (libmysofa1).
constexpr const char* kDefaultHrtfPath = "/usr/share/libmysofa/default.sofa";

constexpr int kVirtualSpeakers = 5;

/// Gain of the ear signals: 0.5, -6 dB.
constexpr float kBinauralHeadroom = 0.5f;

/// Which decoded channel feeds each virtual speaker, and where it stands:
/// degrees clockwise from the front (negative to the left).
struct VirtualSpeaker
{
    int channel;
    double azimuthDeg;
};
extern const std::array<VirtualSpeaker, kVirtualSpeakers> kVirtualSpeakerLayout;

/// Impulse responses of the virtual speakers at both ears, at one sample rate.
struct HeadResponses
{
    int length = 0;
    std::array<std::vector<float>, kVirtualSpeakers> left, right;
};

/// Reads the responses for the virtual speakers from a SOFA file, resampled
/// to `sampleRate` and with each measurement's onset delay applied. False
/// with a one-line reason in `error`.
bool loadHeadResponses(const std::string& sofaPath, int sampleRate, HeadResponses& responses,
                       std::string& error);

/// Convolves the speaker feeds with the responses and sums them per ear.
/// Output sample t belongs to input sample t: no latency, no added length.
/// Input arrives in blocks of any size; output becomes ready in steps of
/// hopSize() frames, and finish() delivers the rest.
class BinauralConvolver
{
public:
    explicit BinauralConvolver(const HeadResponses& responses);
    ~BinauralConvolver();
    BinauralConvolver(const BinauralConvolver&) = delete;
    BinauralConvolver& operator=(const BinauralConvolver&) = delete;

    /// Frames per transform block.
    int hopSize() const { return hop_; }

    /// Takes `frames` frames of the six decoded channels and appends the
    /// finished ear signals to `left` and `right`.
    template <typename Sample>
    void process(const Sample* const decoded[6], int frames, std::vector<float>& left,
                 std::vector<float>& right);

    /// Appends the frames still held back: after it, as many frames have come
    /// out as went in.
    void finish(std::vector<float>& left, std::vector<float>& right);

private:
    struct Fft;
    void runBlock(int validFrames, std::vector<float>& left, std::vector<float>& right);

    int fftSize_ = 0;
    int hop_ = 0;
    int filled_ = 0;
    std::unique_ptr<Fft> fft_;
    std::array<std::vector<float>, kVirtualSpeakers> input_; ///< the current block, zero padded
    std::vector<float> overlap_[2];                          ///< tails carried into the next block
    std::vector<float> scratch_;
};

} // namespace render
