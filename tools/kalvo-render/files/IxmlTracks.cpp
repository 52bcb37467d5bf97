#include "IxmlTracks.h"

#include <expat.h>

#include <cstdlib>

namespace render
{
namespace
{

// Where an element stands in the document's bytes: from its start tag's '<'
// to past its end tag's '>'.
struct Span
{
    long long begin = -1;
    long long end = -1;
    std::string qualifiedName; ///< as written, with its prefix ("ix:TRACK_LIST")
};

// The parse: a stack of local names, the text of the element being read, and
// what was found.
struct Reader
{
    XML_Parser parser = nullptr;
    const std::string* xml = nullptr;
    int channels = 0;
    IxmlFacts facts;
    std::vector<std::string> path; // local names from the root down
    std::string text;              // character data of the innermost element
    // The track being read.
    std::string trackName;
    std::string trackInterleave;
    bool trackHasName = false;
    int tracksSeen = 0;
    Span trackList, root;
    long long startLength = 0; // bytes of the last start tag, for an empty element's end
};

std::string localName(const XML_Char* name)
{
    // With namespace processing expat reports "uri|local" for names in a namespace.
    std::string n(name);
    const size_t bar = n.rfind('|');
    return bar == std::string::npos ? n : n.substr(bar + 1);
}

std::string trimmed(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// The element's name as the document writes it, read at its start tag.
std::string writtenName(const std::string& xml, long long at)
{
    size_t i = static_cast<size_t>(at) + 1;
    size_t end = i;
    while (end < xml.size() && xml[end] != '>' && xml[end] != '/' && xml[end] != ' ' && xml[end] != '\t' &&
           xml[end] != '\r' && xml[end] != '\n')
        ++end;
    return xml.substr(i, end - i);
}

bool pathIs(const std::vector<std::string>& path, std::initializer_list<const char*> names)
{
    if (path.size() != names.size())
        return false;
    size_t i = 0;
    for (const char* n : names)
        if (path[i++] != n)
            return false;
    return true;
}

void XMLCALL onStart(void* data, const XML_Char* name, const XML_Char** /*attributes*/)
{
    auto& r = *static_cast<Reader*>(data);
    r.path.push_back(localName(name));
    r.text.clear();
    const long long at = XML_GetCurrentByteIndex(r.parser);
    r.startLength = XML_GetCurrentByteCount(r.parser);
    if (r.path.size() == 1)
    {
        r.facts.isIxml = r.path[0] == "BWFXML";
        r.root.begin = at;
        r.root.qualifiedName = writtenName(*r.xml, at);
    }
    if (pathIs(r.path, {"BWFXML", "TRACK_LIST"}) && r.trackList.begin < 0)
    {
        r.trackList.begin = at;
        r.trackList.qualifiedName = writtenName(*r.xml, at);
    }
    if (pathIs(r.path, {"BWFXML", "TRACK_LIST", "TRACK"}))
    {
        r.trackName.clear();
        r.trackInterleave.clear();
        r.trackHasName = false;
    }
}

void XMLCALL onEnd(void* data, const XML_Char* /*name*/)
{
    auto& r = *static_cast<Reader*>(data);
    const std::string value = trimmed(r.text);
    const long long at = XML_GetCurrentByteIndex(r.parser);
    const long long count = XML_GetCurrentByteCount(r.parser);
    // An empty element (<TRACK_LIST/>) ends where its start tag does.
    const long long end = count > 0 ? at + count : at + r.startLength;
    auto& f = r.facts;
    const std::vector<std::string>& p = r.path;
    if (pathIs(p, {"BWFXML", "PROJECT"}))
        f.project = value;
    else if (pathIs(p, {"BWFXML", "SCENE"}))
        f.scene = value;
    else if (pathIs(p, {"BWFXML", "TAKE"}))
        f.take = value;
    else if (pathIs(p, {"BWFXML", "TAPE"}))
        f.tape = value;
    else if (pathIs(p, {"BWFXML", "SPEED", "TIMECODE_RATE"}))
        f.timecodeRate = value;
    else if (pathIs(p, {"BWFXML", "SPEED", "TIMECODE_FLAG"}))
        f.timecodeFlag = value;
    else if (pathIs(p, {"BWFXML", "TRACK_LIST", "TRACK", "NAME"}))
    {
        r.trackName = value;
        r.trackHasName = true;
    }
    else if (pathIs(p, {"BWFXML", "TRACK_LIST", "TRACK", "INTERLEAVE_INDEX"}))
        r.trackInterleave = value;
    else if (pathIs(p, {"BWFXML", "TRACK_LIST", "TRACK"}))
    {
        ++r.tracksSeen; // a track without INTERLEAVE_INDEX stands where it is listed
        const int channel = r.trackInterleave.empty()
                                ? r.tracksSeen
                                : static_cast<int>(std::strtol(r.trackInterleave.c_str(), nullptr, 10));
        if (r.trackHasName && channel >= 1 && channel <= r.channels)
            f.trackNames[static_cast<size_t>(channel - 1)] = r.trackName;
    }
    else if (pathIs(p, {"BWFXML", "TRACK_LIST"}) && r.trackList.end < 0)
        r.trackList.end = end;
    if (p.size() == 1)
        r.root.end = at; // where the root's end tag starts
    r.path.pop_back();
    r.text.clear();
}

void XMLCALL onText(void* data, const XML_Char* s, int length)
{
    auto& r = *static_cast<Reader*>(data);
    r.text.append(s, static_cast<size_t>(length));
}

// Recorders pad the chunk with zero bytes (and sometimes whitespace) to a
// size of their liking; XML ends at its root element.
size_t documentLength(const std::string& xml)
{
    const size_t last = xml.find_last_not_of(std::string(" \t\r\n\0", 5));
    return last == std::string::npos ? 0 : last + 1;
}

Reader parse(const std::string& xml, int channels)
{
    Reader r;
    r.xml = &xml;
    r.channels = channels > 0 ? channels : 0;
    r.facts.trackNames.assign(static_cast<size_t>(r.channels), std::string());
    const size_t length = documentLength(xml);
    if (length == 0)
    {
        r.facts.error = "it is empty";
        return r;
    }
    r.parser = XML_ParserCreateNS(nullptr, '|');
    if (!r.parser)
    {
        r.facts.error = "out of memory";
        return r;
    }
    XML_SetUserData(r.parser, &r);
    XML_SetElementHandler(r.parser, onStart, onEnd);
    XML_SetCharacterDataHandler(r.parser, onText);
    // Never read an external entity or DTD: a file's chunk is all there is.
    XML_SetParamEntityParsing(r.parser, XML_PARAM_ENTITY_PARSING_NEVER);
    if (XML_Parse(r.parser, xml.data(), static_cast<int>(length), XML_TRUE) == XML_STATUS_OK)
        r.facts.parsed = true;
    else
        r.facts.error = "line " + std::to_string(XML_GetCurrentLineNumber(r.parser)) + ": " +
                        XML_ErrorString(XML_GetErrorCode(r.parser));
    XML_ParserFree(r.parser);
    r.parser = nullptr;
    return r;
}

// "ix:" of "ix:TRACK_LIST", or empty.
std::string prefixOf(const std::string& qualifiedName)
{
    const size_t colon = qualifiedName.find(':');
    return colon == std::string::npos ? std::string() : qualifiedName.substr(0, colon + 1);
}

std::string escaped(const std::string& s)
{
    std::string out;
    for (char c : s)
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    return out;
}

} // namespace

IxmlFacts readIxml(const std::string& xml, int channels)
{
    return parse(xml, channels).facts;
}

std::vector<std::string> ixmlTrackNames(const std::string& xml, int channels)
{
    return readIxml(xml, channels).trackNames;
}

std::string ixmlWithTracks(const std::string& xml, const std::vector<IxmlTrack>& tracks)
{
    // UTF-16 documents (they start with a byte-order mark of two bytes) would
    // need the new list in UTF-16 too; they are kept as they are.
    const bool utf16 =
        xml.size() >= 2 && ((xml[0] == '\xFF' && xml[1] == '\xFE') || (xml[0] == '\xFE' && xml[1] == '\xFF'));
    const Reader r = parse(xml, 0);
    if (!r.facts.parsed || !r.facts.isIxml || utf16)
        return xml;
    const bool replacing = r.trackList.begin >= 0 && r.trackList.end > r.trackList.begin;
    const std::string p = prefixOf(replacing ? r.trackList.qualifiedName : r.root.qualifiedName);
    auto tag = [&p](const char* name, const std::string& value)
    { return "<" + p + name + ">" + value + "</" + p + name + ">"; };
    std::string list =
        "<" + p + "TRACK_LIST>\n    " + tag("TRACK_COUNT", std::to_string(tracks.size())) + "\n";
    for (const IxmlTrack& t : tracks)
        list += "    <" + p + "TRACK>\n      " + tag("CHANNEL_INDEX", std::to_string(t.channelIndex)) +
                "\n      " + tag("INTERLEAVE_INDEX", std::to_string(t.interleaveIndex)) + "\n      " +
                tag("NAME", escaped(t.name)) + "\n    </" + p + "TRACK>\n";
    list += "  </" + p + "TRACK_LIST>";

    if (replacing)
        return xml.substr(0, static_cast<size_t>(r.trackList.begin)) + list +
               xml.substr(static_cast<size_t>(r.trackList.end));
    // An empty root (<BWFXML/>) has no end tag to put the list before.
    if (r.root.end <= r.root.begin || xml.compare(static_cast<size_t>(r.root.end), 2, "</") != 0)
        return xml;
    return xml.substr(0, static_cast<size_t>(r.root.end)) + "  " + list + "\n" +
           xml.substr(static_cast<size_t>(r.root.end));
}

} // namespace render
