#include "IxmlTracks.h"

#include <cstdlib>
#include <cstring>

namespace render
{
namespace
{

// The text between <tag> and </tag> from `from` on, and where the element
// ends; npos when there is none before `limit`.
size_t element(const std::string& xml, const std::string& tag, size_t from, size_t limit, std::string& text)
{
    const std::string open = "<" + tag + ">", close = "</" + tag + ">";
    const size_t start = xml.find(open, from);
    if (start == std::string::npos || start >= limit)
        return std::string::npos;
    const size_t end = xml.find(close, start + open.size());
    if (end == std::string::npos || end + close.size() > limit)
        return std::string::npos;
    text = xml.substr(start + open.size(), end - start - open.size());
    return end + close.size();
}

std::string trimmed(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    return s.substr(a, s.find_last_not_of(" \t\r\n") - a + 1);
}

// XML's five predefined entities and numeric references below 128.
std::string unescaped(const std::string& s)
{
    static const struct
    {
        const char* entity;
        char c;
    } kEntities[] = {{"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&apos;", '\''}};
    std::string out;
    for (size_t i = 0; i < s.size(); ++i)
    {
        bool replaced = false;
        if (s[i] == '&')
        {
            for (const auto& e : kEntities)
                if (s.compare(i, std::strlen(e.entity), e.entity) == 0)
                {
                    out += e.c;
                    i += std::strlen(e.entity) - 1;
                    replaced = true;
                    break;
                }
            const size_t semi = s.find(';', i);
            if (!replaced && i + 2 < s.size() && s[i + 1] == '#' && semi != std::string::npos)
            {
                const long code = std::strtol(s.c_str() + i + 2, nullptr, s[i + 2] == 'x' ? 0 : 10);
                if (code > 0 && code < 128)
                {
                    out += static_cast<char>(code);
                    i = semi;
                    replaced = true;
                }
            }
        }
        if (!replaced)
            out += s[i];
    }
    return out;
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

std::vector<std::string> ixmlTrackNames(const std::string& xml, int channels)
{
    std::vector<std::string> names(static_cast<size_t>(channels > 0 ? channels : 0));
    std::string list;
    if (element(xml, "TRACK_LIST", 0, xml.size(), list) == std::string::npos)
        return names;
    std::string track;
    int position = 0; // a track without INTERLEAVE_INDEX stands where it is listed
    for (size_t at = 0; (at = element(list, "TRACK", at, list.size(), track)) != std::string::npos;)
    {
        ++position;
        std::string index, name;
        int channel = position;
        if (element(track, "INTERLEAVE_INDEX", 0, track.size(), index) != std::string::npos)
            channel = static_cast<int>(std::strtol(trimmed(index).c_str(), nullptr, 10));
        if (element(track, "NAME", 0, track.size(), name) == std::string::npos)
            continue;
        if (channel >= 1 && channel <= channels)
            names[static_cast<size_t>(channel - 1)] = trimmed(unescaped(name));
    }
    return names;
}

std::string ixmlWithTracks(const std::string& xml, const std::vector<IxmlTrack>& tracks)
{
    std::string list = "<TRACK_LIST>\n    <TRACK_COUNT>" + std::to_string(tracks.size()) + "</TRACK_COUNT>\n";
    for (const IxmlTrack& t : tracks)
        list += "    <TRACK>\n      <CHANNEL_INDEX>" + std::to_string(t.channelIndex) +
                "</CHANNEL_INDEX>\n      <INTERLEAVE_INDEX>" + std::to_string(t.interleaveIndex) +
                "</INTERLEAVE_INDEX>\n      <NAME>" + escaped(t.name) + "</NAME>\n    </TRACK>\n";
    list += "  </TRACK_LIST>";

    const std::string open = "<TRACK_LIST>", close = "</TRACK_LIST>", empty = "<TRACK_LIST/>";
    const size_t emptyList = xml.find(empty);
    if (emptyList != std::string::npos)
        return xml.substr(0, emptyList) + list + xml.substr(emptyList + empty.size());
    const size_t start = xml.find(open);
    const size_t end = start == std::string::npos ? start : xml.find(close, start);
    if (start != std::string::npos && end != std::string::npos)
        return xml.substr(0, start) + list + xml.substr(end + close.size());
    const size_t root = xml.rfind("</BWFXML>");
    if (root == std::string::npos)
        return xml;
    return xml.substr(0, root) + "  " + list + "\n" + xml.substr(root);
}

} // namespace render
