// Creates the effect's editor. The plug-in links either the real editor or a
// stand-in that answers null (for builds and tests without a GUI), so the
// effect never depends on the editor's code directly.
#pragma once

class AEffEditor;
class AudioEffectX;

/// A new editor for `effect`, already attached to it (setEditor), or null when the
/// build has no editor. The effect owns the result.
AEffEditor* createKalvoEditor(AudioEffectX* effect);
