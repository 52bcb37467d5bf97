#include "RenderParameters.h"

#include "effect/BuildRules.h"
#include "effect/KalvoConverters.h"
#include "effect/ParameterText.h"

#include <array>
#include <cstdio>
#include <cstdlib>

namespace render
{
namespace
{

std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// Letters and digits only, lower case: "Stereo 45°" and "stereo-45" both give "stereo45".
std::string presetKey(const std::string& s)
{
    std::string out = kalvo::nameKey(s);
    // "Stereo 45 degree" and "Stereo 45deg" name the same entry as "Stereo 45°".
    for (const char* suffix : {"degree", "deg"})
    {
        const std::string sfx = suffix;
        if (out.size() > sfx.size() && out.compare(out.size() - sfx.size(), sfx.size(), sfx) == 0)
        {
            out.erase(out.size() - sfx.size());
            break;
        }
    }
    return out;
}

// Appends `text` to `out` in lines of at most `width` characters; the first
// line continues the current one at column `column`, later lines start at
// column `indent`.
void wrapInto(std::string& out, const std::string& text, size_t column, size_t indent, size_t width)
{
    size_t pos = 0;
    while (pos < text.size())
    {
        size_t end = text.find(' ', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string word = text.substr(pos, end - pos);
        if (column > indent && column + 1 + word.size() > width)
        {
            out += "\n" + std::string(indent, ' ');
            column = indent;
        }
        else if (column > indent)
        {
            out += ' ';
            ++column;
        }
        out += word;
        column += word.size();
        pos = end + 1;
    }
    out += "\n";
}

} // namespace

const ParameterInfo& parameterInfo(int index)
{
    static const auto table = []
    {
        std::array<ParameterInfo, kParameterCount> infos{};
        for (int i = 0; i < kParameterCount; ++i)
        {
            const kalvo::ParameterSpec& spec = kalvo::parameterSpec(i);
            infos[i] = {spec.codeName, spec.panelName, spec.section, spec.unit};
        }
        return infos;
    }();
    return table[static_cast<size_t>(index)];
}

int findParameter(const std::string& name)
{
    return kalvo::findParameterByName(name.c_str());
}

bool parseParameterValue(int index, const std::string& text, float& normalised, std::string& error)
{
    return kalvo::parseParameterText(index, text, normalised, error);
}

bool parseParameterSetting(const std::string& setting, int& index, float& normalised, std::string& error)
{
    size_t eq = setting.find('=');
    if (eq == std::string::npos)
    {
        error = "expected NAME=VALUE, not '" + setting + "'";
        return false;
    }
    const std::string name = trim(setting.substr(0, eq));
    index = findParameter(name);
    if (index < 0)
    {
        error = "unknown parameter '" + name + "' (see --help for the names)";
        return false;
    }
    return parseParameterValue(index, setting.substr(eq + 1), normalised, error);
}

std::string parameterHelp(int width)
{
    // One paragraph per panel heading: "HEADING  Name (HostName), ...: values".
    const size_t w = static_cast<size_t>(width);
    const size_t indent = 20;
    std::string out;
    for (int i = 0; i < kParameterCount;)
    {
        const ParameterInfo& first = parameterInfo(i);
        std::string line = "  " + std::string(first.section);
        line.resize(indent, ' ');
        out += line;
        size_t column = line.size();
        bool firstGroup = true;
        while (i < kParameterCount && std::string(parameterInfo(i).section) == first.section)
        {
            std::string text;
            const ParameterUnit unit = parameterInfo(i).unit;
            for (; i < kParameterCount && parameterInfo(i).unit == unit &&
                   std::string(parameterInfo(i).section) == first.section;
                 ++i)
            {
                if (!text.empty())
                    text += ", ";
                text += parameterInfo(i).panelName;
                if (std::string(parameterInfo(i).name) != parameterInfo(i).panelName)
                    text += std::string(" (") + parameterInfo(i).name + ")";
            }
            text += std::string(": ") + kalvo::unitSyntaxHelp(unit);
            if (!firstGroup)
            {
                out += std::string(indent, ' ');
                column = indent;
            }
            wrapInto(out, text, column, indent, w);
            firstGroup = false;
        }
    }
    return out;
}

int findPreset(const std::string& text)
{
    const std::string key = presetKey(text);
    if (key.empty())
        return 0;
    char* end = nullptr;
    long number = std::strtol(text.c_str(), &end, 10);
    if (*end == '\0' && end != text.c_str())
        return number >= 1 && number <= 5 ? static_cast<int>(number) : 0;
    const KalvoBuildRules& rules = buildRules();
    for (int i = 1; i <= 5; ++i)
        if (key == presetKey(rules.presetMenuEntries[i]) || key == presetKey(rules.presetNames[i - 1]))
            return i;
    return 0;
}

const char* presetMenuName(int number)
{
    return buildRules().presetMenuEntries[number];
}

} // namespace render
