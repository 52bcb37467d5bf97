#pragma once

// The track list of an iXML document, the description a field recorder
// writes into each take:
//
//   <BWFXML> ... <TRACK_LIST><TRACK_COUNT>8</TRACK_COUNT>
//     <TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX>
//            <NAME>MID</NAME></TRACK> ... </TRACK_LIST> ... </BWFXML>
//
// INTERLEAVE_INDEX is the track's place in the file (1 the first channel),
// CHANNEL_INDEX the recorder's input it came from. Everything else in the
// document (scene, take, tape, timecode, notes) is left byte for byte.

#include <string>
#include <vector>

namespace render
{

/// The track names of a document by file channel: element 0 names channel
/// 1. `channels` entries, empty where the list names none (or the document
/// has no list).
std::vector<std::string> ixmlTrackNames(const std::string& xml, int channels);

/// One track of a new list: its name, its recorder channel and its place in the file.
struct IxmlTrack
{
    std::string name;
    int channelIndex = 1;
    int interleaveIndex = 1;
};

/// The document with its track list replaced by one of `tracks` (inserted
/// before </BWFXML> when it had none). A document without <BWFXML> comes
/// back unchanged.
std::string ixmlWithTracks(const std::string& xml, const std::vector<IxmlTrack>& tracks);

} // namespace render
