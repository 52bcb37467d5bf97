// The host side for tools that run the effect on their own, without a real host
// (benchmarks, the editor snapshot command).
#pragma once

#include "VstInterface.h"

/// Answers the version query with 2400, the sample rate with 48000 Hz and the block size
/// with 512 frames; every other request with 0.
VstIntPtr standaloneHostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                                 float opt);
