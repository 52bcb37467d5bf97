#pragma once

// Where the three microphone signals come from: one 3-channel file, three
// mono files, or a recording synthesised in memory. Every source delivers
// planar blocks in the effect's input order: front mid, side, rear mid.

#include <sndfile.h>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace render
{

/// Roles of the three microphone signals, in the effect's input order.
enum MicRole
{
    kFrontMid = 0,
    kSide = 1,
    kRearMid = 2
};

/// Which role each file channel (or each mono file) carries, e.g. {kFrontMid,
/// kSide, kRearMid} for the effect's own order.
using ChannelOrder = std::array<MicRole, 3>;

/// Parses an order such as "FSR" or "S,F,R" (F front mid, S side, R rear mid;
/// also M for front mid). False with a reason when it is not a permutation.
bool parseChannelOrder(const std::string& text, ChannelOrder& order, std::string& error);

/// Parses a --tracks list "A,B,C": the front mid, side and rear mid tracks of
/// a polyphonic file, each a number from 1 or a track name. False with a
/// reason unless there are three.
bool parseTrackList(const std::string& text, std::vector<std::string>& tracks, std::string& error);

/// A broadcast-wave chunk with room for a long coding history (libsndfile's
/// own struct holds 256 characters of it; a take's history may be longer).
typedef SF_BROADCAST_INFO_VAR(16000) BroadcastInfo;

class FrameSource
{
public:
    virtual ~FrameSource() = default;
    virtual int sampleRate() const = 0;
    /// Total frames the source delivers.
    virtual int64_t frames() const = 0;
    /// Reads up to `count` frames into out[role][0..]; answers the frames read
    /// (0 at the end) or -1 on a read error, described by error().
    virtual int read(double* const out[3], int count) = 0;
    virtual int read(float* const out[3], int count) = 0;
    virtual std::string error() const { return {}; }
    /// Whether samples may be infinite or not a number (floating-point files).
    virtual bool mayHoldNonFinite() const { return true; }
    /// A line worth telling the user (input lengths that differ, ...), or empty.
    virtual std::string warning() const { return {}; }
    /// After the last read: a line naming what was missing when a recording
    /// ended before its header said (a recorder that lost power), or empty.
    virtual std::string shortfallWarning() const { return {}; }
    /// The recording's broadcast-wave description (time stamp, originator),
    /// so that the decoded file keeps its place on the timeline; false when
    /// the input has none.
    virtual bool broadcastInfo(BroadcastInfo&) const { return false; }
    /// The recording's iXML document (scene, take, tape, track names), or empty.
    virtual std::string ixml() const { return {}; }
};

/// Opens one 3-channel file (one path) or three mono files (three paths).
/// `tracks` (front mid, side, rear mid, by number or iXML name; empty for
/// none) picks three tracks of one polyphonic file instead, and the others
/// are ignored. Null with a one-line reason in `error` when a file is missing
/// or unreadable, has the wrong number of channels (a polyphonic file's
/// tracks are then listed), a track is not there, or the files' sample rates
/// differ. A file that ends before its header says is read as far as it goes.
std::unique_ptr<FrameSource> openSoundInput(const std::vector<std::string>& paths, const ChannelOrder& order,
                                            const std::vector<std::string>& tracks, std::string& error);
std::unique_ptr<FrameSource> openSoundInput(const std::vector<std::string>& paths, const ChannelOrder& order,
                                            std::string& error);

/// The length in frames that the header of a WAV or RF64 file declares for its
/// data, whatever the file really holds; -1 when it is not such a file or its
/// header makes no claim (a recording never finished leaves 0 or 0xFFFFFFFF).
int64_t declaredWaveFrames(const std::string& path);

/// "m:ss.s" (or "h:mm:ss.s") of `frames` at `sampleRate`.
std::string durationText(int64_t frames, int sampleRate);

/// A source over signals held in memory (one vector per role, equal lengths).
std::unique_ptr<FrameSource> memorySource(std::array<std::vector<double>, 3> signals, int sampleRate);

} // namespace render
