#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

// Binaural sound from the 5.1 decode: each speaker feed (L, R, C, Ls, Rs; the
// LFE channel is silent) is played over a virtual loudspeaker at 30 degrees
// left, 30 right, straight ahead, 110 left and 110 right, and reaches each ear
// through the head-related impulse response of the direction the speaker has
// as seen from the listener's head. A turned head sees the speakers at other
// directions, so the picture stays put while the head moves.

constexpr int kVirtualSpeakers = 5;

/// Gain of the ear signals: 0.5, -6 dB. The responses bring a speaker straight
/// ahead to each ear at about its own level; five speakers add up at one ear,
/// and a near ear gains up to 4 dB, so the ears are 6 dB down: about the level
/// of the 5.1 decode, not a guarantee of full scale. Three independent capsule
/// signals each peaking at full scale (60 s at 48 kHz) peak at the ears at
/// +1.8 dBFS as pink noise (5.1: +4.7) and +11.8 dBFS as white noise (5.1:
/// +5.7), where the ears' high-frequency gain adds up.
constexpr float kBinauralHeadroom = 0.5f;

/// Which decoded channel feeds each virtual speaker, and where it stands:
/// degrees clockwise from the front (negative to the left).
struct VirtualSpeaker
{
    int channel;
    double azimuthDeg;
};
extern const std::array<VirtualSpeaker, kVirtualSpeakers> kVirtualSpeakerLayout;

/// Head-related impulse responses on a regular grid of directions around the
/// head, at one sample rate, each with its onset delay in front. Column a lies
/// at azimuth a * 360 / azimuths degrees counter-clockwise from the front (to
/// the left), taken into -180..180; row e at elevation -90 + e * 180 /
/// (elevations - 1) degrees. With 72 columns and 19 rows: every 5 degrees
/// around, every 10 degrees up.
struct HrirGrid
{
    double sampleRate = 0.0;
    int length = 0; ///< taps of every response
    int azimuths = 0;
    int elevations = 0;
    std::vector<float> left, right; ///< [row][column][tap]

    int directions() const { return azimuths * elevations; }
    double azimuthDeg(int column) const;
    double elevationDeg(int row) const;
};

/// The index of the grid direction nearest to a direction in degrees (azimuth
/// to the left) on a grid of `azimuths` columns and `elevations` rows.
int nearestGridDirection(int azimuths, int elevations, double azimuthDeg, double elevationDeg) noexcept;

/// Where the head points. Positive yaw turns it to the left, positive pitch
/// lifts the nose, positive roll lowers the right ear; they apply in that
/// order (yaw about the vertical, then pitch and roll about the turned head's
/// own axes), all in degrees.
struct HeadOrientation
{
    double yawDeg = 0.0;
    double pitchDeg = 0.0;
    double rollDeg = 0.0;
};

/// A direction as the head sees it: azimuth counter-clockwise (to the left)
/// and elevation, in degrees.
struct HeadDirection
{
    double azimuthDeg;
    double elevationDeg;
};

/// The direction of a source at `azimuthDeg` on the horizon (clockwise, as the
/// speaker layout gives it) relative to a head turned to `head`: with yaw 90,
/// the source straight ahead is at azimuth -90, on the right.
HeadDirection headRelativeDirection(double azimuthDeg, const HeadOrientation& head) noexcept;

/// The orientation of a head turned by the rotation quaternion w + xi + yj + zk
/// (in the frame x ahead, y to the left, z up; any length but zero). False,
/// and `head` untouched, when the four are not finite or all zero.
bool orientationFromQuaternion(double w, double x, double y, double z, HeadOrientation& head) noexcept;

/// Renders the six decoded channels to two ears, in real time, without
/// latency: output sample t belongs to input sample t.
///
/// The convolution is uniformly partitioned: the first 64 taps of each
/// response run in the time domain, the rest in 64-frame partitions through
/// 128-point transforms and a delay line of spectra, so that a block of 64
/// frames costs five forward and one inverse transform and no output waits for
/// a transform. At 48 kHz the measured set's 558 taps make nine partitions.
///
/// A head turn glides: the orientation follows the requested one with a 5 ms
/// time constant, stepped every 64 frames; each speaker then takes the
/// nearest grid direction, and when one changes, the 64 frames that follow
/// cross-fade linearly from the old responses to the new ones (both applied to
/// the same past input), so that no step reaches the output.
///
/// A set of responses as the renderer convolves with them: each direction's
/// first 64 taps, and the spectra of the partitions after them. Made once from a
/// grid (allocates and transforms: about 13 MB and half a second for the
/// default set at 48 kHz) and never changed after, so that every renderer at
/// that rate may share one.
struct BinauralResponses
{
    double sampleRate = 0.0;
    int directions = 0;
    int azimuths = 0;
    int elevations = 0;
    int partitions = 0;            ///< transformed partitions beyond the first
    std::vector<float> directTaps; ///< [direction][ear][64]: the first partition
    std::vector<float> spectra;    ///< [direction][ear][partition][re 72, im 72], scaled
};

/// setResponses allocates; reset, setOrientation and process never allocate,
/// lock or wait.
class BinauralRenderer
{
public:
    static constexpr int kPartitionFrames = 64;
    static constexpr double kGlideMs = 5.0;

    BinauralRenderer();
    ~BinauralRenderer();
    BinauralRenderer(const BinauralRenderer&) = delete;
    BinauralRenderer& operator=(const BinauralRenderer&) = delete;

    /// Takes a set of responses (allocates) and resets. An empty set renders silence.
    void setResponses(const HrirGrid& grid);
    /// Takes a prepared set, shared with whoever else renders with it (allocates this
    /// renderer's own signal state), and resets. Null renders silence.
    void setResponses(std::shared_ptr<const BinauralResponses> responses);
    /// The grid's responses made ready to convolve with (allocates, transforms).
    static std::shared_ptr<const BinauralResponses> prepareResponses(const HrirGrid& grid);
    bool hasResponses() const { return directions_ > 0; }
    /// The set rendered with, null without one.
    const BinauralResponses* responses() const { return responses_.get(); }
    double sampleRate() const { return sampleRate_; }

    /// Clears the signal state; the head stands at the requested orientation at once.
    void reset() noexcept;
    /// The orientation to glide to. Values that are not finite are ignored.
    void setOrientation(const HeadOrientation& head) noexcept;
    const HeadOrientation& orientation() const { return current_; }

    /// Takes `frames` frames of the six decoded channels (L R C LFE Ls Rs) and
    /// writes as many to each ear. Outputs may alias inputs.
    template <typename In, typename Out>
    void process(const In* const decoded[6], Out* left, Out* right, int frames) noexcept;

private:
    struct Fft;
    void renderChunk(int frames, float* left, float* right) noexcept;
    void endPartition() noexcept;
    void chooseResponses() noexcept;
    void tailFor(const std::array<int, kVirtualSpeakers>& dirs, float* left, float* right) noexcept;
    void direct(const std::array<int, kVirtualSpeakers>& dirs, int frames, float* left,
                float* right) noexcept;
    int directionOf(int speaker) const noexcept;

    double sampleRate_ = 0.0;
    int directions_ = 0;
    int azimuths_ = 0;
    int elevations_ = 0;
    int partitions_ = 0; ///< transformed partitions beyond the first
    int slot_ = 0;       ///< the delay line's newest spectrum
    int pos_ = 0;        ///< frames of the current partition already taken
    bool fading_ = false;
    double glideCoefficient_ = 1.0;
    HeadOrientation target_, current_;
    std::array<int, kVirtualSpeakers> dirs_{}, nextDirs_{};

    std::unique_ptr<Fft> fft_;
    std::shared_ptr<const BinauralResponses> responses_;
    const float* directTaps_ = nullptr; ///< the responses' own, read on every chunk
    const float* spectra_ = nullptr;
    std::vector<float> history_;     ///< [speaker][128]: the last partition, then this one
    std::vector<float> spectraIn_;   ///< [speaker][slot][re 72, im 72]: the delay line
    std::vector<float> tail_;        ///< [old, new][ear][64]: this partition's transformed share
    std::vector<float> scratch_;     ///< [old, new][ear][64]: the direct share of a chunk
    std::vector<size_t> olderSlots_; ///< per partition, where its input spectrum lies
};
