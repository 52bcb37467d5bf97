// kalvo-snapshot: renders the plug-in's editor panel to a PNG for given parameter values.
//
//   kalvo-snapshot OUT.png [INDEX=VALUE ...]      see --help
#include "EditorSnapshot.h"
#include "Kalvo.h"
#include "KalvoVersion.h"
#include "StandaloneHost.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace
{

bool parseAssignment(const char* text, int& index, float& value)
{
    char* end = nullptr;
    const long i = std::strtol(text, &end, 10);
    if (end == text || *end != '=' || i < 0 || i > 14)
        return false;
    const char* number = end + 1;
    const float v = std::strtof(number, &end);
    if (end == number || *end != 0)
        return false;
    index = static_cast<int>(i);
    value = v;
    return true;
}

void printHelp()
{
    std::printf(
        "kalvo-snapshot: renders the Kalvo plug-in's editor panel to a PNG picture.\n\n"
        "Usage:\n"
        "  kalvo-snapshot OUT.png [INDEX=VALUE ...]\n\n"
        "Each INDEX=VALUE sets parameter INDEX to VALUE, in order, through the same call a\n"
        "host uses; VALUE is the normalised value from 0 to 1.\n\n"
        "Options:\n"
        "  -h, --help     this text\n"
        "  --version      the program's version\n\n"
        "Parameters:\n"
        "  0, 1, 2        polar pattern of centre, L R, LS RS: 0 figure of eight,\n"
        "                 0.5 cardioid, 1 omni\n"
        "  3              angle of L R, 0 to 90 degrees\n"
        "  4              angle of LS RS, 90 to 180 degrees\n"
        "  5              rear delay, 0 to 55 ms\n"
        "  6              rear low-pass, 1 to 20 kHz (1 is off)\n"
        "  7, 8, 9        level of front, rear, centre: 1 is 0 dB, 0.5 is -6 dB\n"
        "  10, 11, 12     mute of centre, front, rear: 1 mutes\n"
        "  14             loads a factory preset: 1 \"5 Channel\", 2 \"4 Channel\", 3 \"Stereo 45\",\n"
        "                 4 \"Stereo 60\", 5 \"5 Channel musical\"\n\n"
        "Example:\n"
        "  kalvo-snapshot panel.png 14=2 5=0.5\n");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0)
    {
        std::printf("kalvo-snapshot %s\n", KALVO_VERSION_STRING);
        return 0;
    }
    const bool help = argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0);
    if (argc < 2 || (!help && argv[1][0] == '-'))
    {
        std::fprintf(stderr, "usage: kalvo-snapshot OUT.png [INDEX=VALUE ...] (see --help)\n");
        return 2;
    }
    if (help)
    {
        printHelp();
        return 0;
    }
    std::unique_ptr<AudioEffect> effect(createEffectInstance(standaloneHostCallback));
    if (!effect)
    {
        std::fprintf(stderr, "kalvo-snapshot: cannot create the effect\n");
        return 1;
    }
    for (int i = 2; i < argc; ++i)
    {
        int index = 0;
        float value = 0.0f;
        if (!parseAssignment(argv[i], index, value))
        {
            std::fprintf(stderr, "kalvo-snapshot: '%s' is not INDEX=VALUE with INDEX 0-14\n", argv[i]);
            return 2;
        }
        effect->setParameter(index, value);
    }
    if (!renderEditorSnapshot(*effect, argv[1]))
    {
        std::fprintf(stderr, "kalvo-snapshot: cannot write '%s'\n", argv[1]);
        return 1;
    }
    return 0;
}
