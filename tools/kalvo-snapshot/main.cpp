// kalvo-snapshot: renders the plug-in's editor panel to a PNG for given parameter values.
//
//   kalvo-snapshot OUT.png [INDEX=VALUE ...]
//
// INDEX is a parameter index 0-14 and VALUE its normalised value, applied in order through
// the same setParameter call a host uses (14 loads a factory preset: 1 to 5).
#include "EditorSnapshot.h"
#include "Kalvo.h"
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

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2 || std::strcmp(argv[1], "--help") == 0)
    {
        std::fprintf(stderr,
                     "usage: kalvo-snapshot OUT.png [INDEX=VALUE ...]\n"
                     "  renders the editor panel; INDEX 0-14, VALUE normalised (14=2 loads \"4 Channel\")\n");
        return argc < 2 ? 2 : 0;
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
