#pragma once

// The Kalvo effect linked into the program itself, reached the way a host
// reaches a plug-in: through its entry point and its AEffect record.

#include "vst2/VstInterface.h"

namespace render
{

/// The linked effect's entry point (what Kalvo.so exports as VSTPluginMain).
AEffect* linkedEffectEntry(audioMasterCallback host);

/// Stops the linked effect's level meters: nothing reads them while
/// rendering, they cost more than the decoding, and the audio is the same
/// without them. Does nothing for a record that is not a Kalvo effect.
void switchOffMetering(AEffect* effect);

} // namespace render
