#pragma once

// The iXML document a field recorder writes into each take:
//
//   <BWFXML> <PROJECT>Wald</PROJECT> <SCENE>12</SCENE> <TAKE>3</TAKE> <TAPE>DAY04</TAPE>
//     <SPEED> <TIMECODE_RATE>25/1</TIMECODE_RATE> <TIMECODE_FLAG>NDF</TIMECODE_FLAG> </SPEED>
//     <TRACK_LIST><TRACK_COUNT>8</TRACK_COUNT>
//       <TRACK><CHANNEL_INDEX>1</CHANNEL_INDEX><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX>
//              <NAME>MID</NAME></TRACK> ... </TRACK_LIST> ... </BWFXML>
//
// INTERLEAVE_INDEX is the track's place in the file (1 the first channel),
// CHANNEL_INDEX the recorder's input it came from. The document is read with
// an XML parser (expat), so attributes, comments, CDATA sections, character
// references, a byte-order mark, namespaces and whitespace inside tags read
// as any XML reader reads them. Elements are matched by their local name,
// whatever namespace prefix they carry.

#include <string>
#include <vector>

namespace render
{

/// What a take's iXML document says.
struct IxmlFacts
{
    bool parsed = false; ///< well-formed XML; false for an empty document too
    std::string error;   ///< why it did not parse: "line 3: mismatched tag"
    bool isIxml = false; ///< its root element is BWFXML
    /// Track names by file channel: element 0 names channel 1; empty where
    /// the list names none.
    std::vector<std::string> trackNames;
    std::string project, scene, take, tape; ///< trimmed text; empty when absent
    std::string timecodeRate;               ///< SPEED/TIMECODE_RATE, "25/1" or "30000/1001"
    std::string timecodeFlag;               ///< SPEED/TIMECODE_FLAG, "DF" or "NDF"
};

/// Reads a document; `channels` sizes the track names.
IxmlFacts readIxml(const std::string& xml, int channels);

/// The track names of a document by file channel (readIxml's trackNames).
std::vector<std::string> ixmlTrackNames(const std::string& xml, int channels);

/// One track of a new list: its name, its recorder channel and its place in the file.
struct IxmlTrack
{
    std::string name;
    int channelIndex = 1;
    int interleaveIndex = 1;
};

/// The document with its track list replaced by one of `tracks`, where the
/// old one stood (appended as the root's last element when it had none);
/// every other byte stays as it was. A document that does not parse, is not
/// iXML or is not UTF-8 comes back unchanged.
std::string ixmlWithTracks(const std::string& xml, const std::vector<IxmlTrack>& tracks);

} // namespace render
