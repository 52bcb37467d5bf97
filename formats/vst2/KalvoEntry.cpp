// The plug-in's exported entry points. Hosts look up VSTPluginMain first and
// the older name main second; both create a new effect per call.
#include "effect/Kalvo.h"

#if defined(_WIN32)
// Kalvo.dll exports through its module definition file (exports.def).
#define KALVO_EXPORT extern "C" __attribute__((used))
#else
#define KALVO_EXPORT extern "C" __attribute__((visibility("default"), used))
#endif

KALVO_EXPORT AEffect* VSTPluginMain(audioMasterCallback audioMaster)
{
    return kalvoPluginMain(audioMaster);
}

// Exported under the symbol name "main" without declaring a function called main,
// which C++ reserves for the program's own entry point.
KALVO_EXPORT AEffect* kalvoLegacyMain(audioMasterCallback audioMaster) __asm__("main");
KALVO_EXPORT AEffect* kalvoLegacyMain(audioMasterCallback audioMaster)
{
    return kalvoPluginMain(audioMaster);
}
