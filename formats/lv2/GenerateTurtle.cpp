// kalvo-lv2-turtle BUNDLE DSP_BINARY UI_BINARY VERSION [BINAURAL_BINARY]: writes the bundle's
// manifest.ttl, kalvo.ttl and presets.ttl from the parameter table, and binaural.ttl for the
// headphone plug-in when its binary is named. Fails, and with it the build, if a
// default has no decimal text that a host turns back into its exact knob position: a fresh
// LV2 instance must decode exactly as a fresh VST 2.4 instance does.
#include "Lv2Turtle.h"
#include "effect/KalvoParameters.h"

#include <cstdio>
#include <string>

namespace
{

bool writeFile(const std::string& path, const std::string& text)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f)
        return false;
    const bool ok = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    return std::fclose(f) == 0 && ok;
}

bool defaultsExact()
{
    bool ok = true;
    for (int i = 0; i < kNumParameters; ++i)
    {
        bool exact = false;
        kalvo::lv2::unitText(i, kalvo::parameterSpec(i).defaultKnob, exact);
        if (!exact)
        {
            std::fprintf(stderr, "kalvo-lv2-turtle: the default of %s has no exact text\n",
                         kalvo::parameterSpec(i).symbol);
            ok = false;
        }
    }
    return ok;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5 && argc != 6)
    {
        std::fprintf(stderr,
                     "usage: kalvo-lv2-turtle BUNDLE DSP_BINARY UI_BINARY VERSION [BINAURAL_BINARY]\n");
        return 2;
    }
    const char* binaural = argc == 6 ? argv[5] : nullptr;
    if (!defaultsExact())
        return 1;
    const std::string bundle = argv[1];
    if (!writeFile(bundle + "/manifest.ttl", kalvo::lv2::manifestTurtle(argv[2], argv[3], binaural)) ||
        !writeFile(bundle + "/kalvo.ttl", kalvo::lv2::pluginTurtle(argv[4])) ||
        !writeFile(bundle + "/presets.ttl", kalvo::lv2::presetsTurtle()) ||
        (binaural && !writeFile(bundle + "/binaural.ttl", kalvo::lv2::binauralTurtle(argv[4]))))
    {
        std::fprintf(stderr, "kalvo-lv2-turtle: cannot write into %s\n", bundle.c_str());
        return 1;
    }
    return 0;
}
