// The takes' iXML documents as recorders and editors write them: read with
// an XML parser, and the decoded file's track list spliced in place.

#include "tools/kalvo-render/files/IxmlTracks.h"
#include "TestFiles.h"
#include "tools/kalvo-render/files/WaveChunks.h"

#include <gtest/gtest.h>

using namespace render;
using testfiles::ScratchDir;

namespace
{

// One document, written in the ways real files write it. `p` is a namespace
// prefix ("" or "ix:"), the track list's content is the same in all.
struct Variant
{
    const char* what;
    std::string xml;
};

std::vector<Variant> variants()
{
    const std::string tracks = "<TRACK><INTERLEAVE_INDEX>2</INTERLEAVE_INDEX><NAME>SIDE</NAME></TRACK>"
                               "<TRACK><INTERLEAVE_INDEX>1</INTERLEAVE_INDEX><NAME>MID</NAME></TRACK>"
                               "<TRACK><NAME>REAR</NAME></TRACK>";
    const std::string plain =
        "<BWFXML><PROJECT>Wald</PROJECT><SCENE>12</SCENE><TAKE>3</TAKE><TAPE>DAY04</TAPE>"
        "<SPEED><TIMECODE_RATE>25/1</TIMECODE_RATE></SPEED><TRACK_LIST>" +
        tracks + "</TRACK_LIST><NOTE>wind</NOTE></BWFXML>";
    return {
        {"plain", plain},
        {"declaration, a byte-order mark and padding",
         "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n" + plain + std::string("\0\0\0", 3)},
        {"attributes", "<BWFXML version=\"2.10\"><PROJECT lang='de'>Wald</PROJECT><SCENE a=\"x\">12</SCENE>"
                       "<TAKE>3</TAKE><TAPE>DAY04</TAPE><SPEED><TIMECODE_RATE>25/1</TIMECODE_RATE></SPEED>"
                       "<TRACK_LIST count=\"3\">" +
                           tracks + "</TRACK_LIST></BWFXML>"},
        {"comments, CDATA and character references",
         "<!-- written by hand --><BWFXML><PROJECT><![CDATA[Wald]]></PROJECT><!-- <SCENE>9</SCENE> -->"
         "<SCENE>1&#50;</SCENE><TAKE>&#x33;</TAKE><TAPE>DAY<!-- c -->04</TAPE><SPEED><TIMECODE_RATE>25/1"
         "</TIMECODE_RATE></SPEED><TRACK_LIST><!-- <TRACK><NAME>BOOM</NAME></TRACK> -->" +
             tracks + "</TRACK_LIST></BWFXML>"},
        {"whitespace inside tags and around values",
         "<BWFXML >\n  <PROJECT\n>  Wald\n</PROJECT >\t<SCENE>12</SCENE\n><TAKE>3</TAKE><TAPE>DAY04</TAPE>"
         "<SPEED><TIMECODE_RATE> 25/1 </TIMECODE_RATE></SPEED>\n  <TRACK_LIST >" +
             tracks + "</TRACK_LIST\n  >\n</BWFXML >\n"},
        {"a namespace prefix",
         "<ix:BWFXML xmlns:ix=\"urn:ixml\"><ix:PROJECT>Wald</ix:PROJECT><ix:SCENE>12</ix:SCENE>"
         "<ix:TAKE>3</ix:TAKE><ix:TAPE>DAY04</ix:TAPE><ix:SPEED><ix:TIMECODE_RATE>25/1</ix:TIMECODE_RATE>"
         "</ix:SPEED><ix:TRACK_LIST><ix:TRACK><ix:INTERLEAVE_INDEX>2</ix:INTERLEAVE_INDEX><ix:NAME>SIDE"
         "</ix:NAME></ix:TRACK><ix:TRACK><ix:INTERLEAVE_INDEX>1</ix:INTERLEAVE_INDEX><ix:NAME>MID</ix:NAME>"
         "</ix:TRACK><ix:TRACK><ix:NAME>REAR</ix:NAME></ix:TRACK></ix:TRACK_LIST></ix:BWFXML>"},
        {"a default namespace", "<BWFXML xmlns=\"urn:ixml\"" + plain.substr(7)},
    };
}

const std::vector<IxmlTrack> kOutputTracks = {{"L", 1, 1}, {"R & more", 2, 2}};

} // namespace

TEST(IxmlTracks, ReadsTheSameFactsHoweverTheDocumentIsWritten)
{
    for (const Variant& v : variants())
    {
        const IxmlFacts f = readIxml(v.xml, 3);
        ASSERT_TRUE(f.parsed) << v.what << ": " << f.error;
        EXPECT_TRUE(f.isIxml) << v.what;
        EXPECT_EQ(f.trackNames, (std::vector<std::string>{"MID", "SIDE", "REAR"})) << v.what;
        EXPECT_EQ(f.project + "|" + f.scene + "|" + f.take + "|" + f.tape + "|" + f.timecodeRate,
                  "Wald|12|3|DAY04|25/1")
            << v.what;
    }
}

TEST(IxmlTracks, TheNewTrackListTakesTheOldOnesPlaceAndEveryOtherByteStays)
{
    for (const Variant& v : variants())
    {
        const std::string out = ixmlWithTracks(v.xml, kOutputTracks);
        const IxmlFacts f = readIxml(out, 2);
        ASSERT_TRUE(f.parsed) << v.what << ": " << f.error << "\n" << out;
        EXPECT_EQ(f.trackNames, (std::vector<std::string>{"L", "R & more"})) << v.what << "\n" << out;
        EXPECT_EQ(f.scene, "12") << v.what;
        // What stood before and after the list is there byte for byte.
        const size_t open = v.xml.find("TRACK_LIST") - (v.what == std::string("a namespace prefix") ? 4 : 1);
        const size_t close = v.xml.find('>', v.xml.rfind("TRACK_LIST")) + 1;
        EXPECT_EQ(out.substr(0, open), v.xml.substr(0, open)) << v.what;
        EXPECT_EQ(out.substr(out.size() - (v.xml.size() - close)), v.xml.substr(close)) << v.what;
    }
    // Without a list, the new one becomes the root's last element.
    const std::string bare = "<BWFXML><!-- keep --><SCENE>1</SCENE>\n</BWFXML>\n";
    const std::string added = ixmlWithTracks(bare, kOutputTracks);
    EXPECT_EQ(added.substr(0, 37), bare.substr(0, 37));
    EXPECT_EQ(added.substr(added.size() - 10), "</BWFXML>\n");
    EXPECT_EQ(readIxml(added, 2).trackNames, (std::vector<std::string>{"L", "R & more"}));
    // What is not well-formed, or not iXML, comes back as it was.
    for (const std::string& other : {std::string("<BWFXML><SCENE>1</BWFXML>"), std::string("<OTHER/>"),
                                     std::string(), std::string("\xFF\xFE<\0B\0/\0>\0", 10)})
        EXPECT_EQ(ixmlWithTracks(other, kOutputTracks), other);
}

TEST(IxmlTracks, ATakeWhoseIxmlDoesNotParseIsDecodedWithAWarningAndItsChunkKept)
{
    ScratchDir dir;
    testfiles::Take take;
    take.trackNames = {"MID", "SIDE", "REAR"};
    ASSERT_TRUE(testfiles::writeTake(dir.file("take.wav"), take));
    // Damage the document in place: an end tag that does not match.
    std::string xml;
    ASSERT_TRUE(readWaveChunk(dir.file("take.wav"), "iXML", xml));
    const size_t at = xml.find("</SCENE>");
    ASSERT_NE(at, std::string::npos);
    xml.replace(at, 8, "</SCENX>");
    ASSERT_TRUE(overwriteWaveChunk(dir.file("take.wav"), "iXML", xml));

    auto run = testfiles::runTool(dir, {dir.file("take.wav"), dir.file("out.wav"), "-q"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.err.find("warning: the iXML chunk of '" + dir.file("take.wav") +
                           "' is not well-formed XML (line "),
              std::string::npos)
        << run.err;
    std::string kept;
    ASSERT_TRUE(readWaveChunk(dir.file("out.wav"), "iXML", kept));
    EXPECT_EQ(kept, xml);
}
