// Renders the editor panel of an effect into a PNG file without any window system: the
// panel as a user would see it after the editor has run its idle calls.
#pragma once

class AudioEffect;

/// Opens the effect's editor in an in-memory window, lets it run `idleCalls` idle calls (the
/// meters and the polar plot follow the effect's parameters there), paints the whole panel and
/// writes it to `pngPath`, at `scale` image pixels per panel pixel (841s x 453s pixels). False
/// when the effect has no editor or the file cannot be written.
bool renderEditorSnapshot(AudioEffect& effect, const char* pngPath, int idleCalls = 2, double scale = 1.0);
