# shellcheck shell=bash disable=SC2154 # work and build come from the sourcing check
# What the Ardour checks share, sourced by them (not run on its own). They set `work`, a scratch
# folder with plugins/, export/ and config/ardour7/export/ in it, and `build`, the build folder.

# Kalvo.vst3 where the session looks, with a scan cache Ardour's own scanner wrote: the headless
# session takes VST 3 plug-ins from that cache only, and ignores a cache older than the bundle's
# files (an older stamp on the files keeps it valid). $1 names the calling check in messages.
kalvo_scan_vst3() {
  cp -r "$build/Kalvo.vst3" "$work/plugins/"
  find "$work/plugins" -exec touch -d '2 hours ago' {} +
  if ! LD_LIBRARY_PATH=/usr/lib/ardour7 /usr/lib/ardour7/ardour-vst3-scanner -f "$work/plugins/Kalvo.vst3" \
    >"$work/scan.log" 2>&1 || ! grep -q 'Found Plugin: Zentri Surround Tool' "$work/scan.log"; then
    cat "$work/scan.log" >&2
    echo "$1: Ardour's VST 3 scanner does not accept Kalvo.vst3" >&2
    exit 1
  fi
  export VST3_PATH=$work/plugins KALVO_PLUGIN_TYPE=VST3 KALVO_PLUGIN_ID="Zentri Surround Tool"
}

# Our export preset (32-bit float WAV, no dither, no normalising), and where the session and its
# export go, as the Lua scripts read them.
kalvo_export_preset() {
  export KALVO_PRESET_ID=6b0f8f7e-6a3c-4c61-9a51-6a6b7a1d0c31
  cat >"$work/config/ardour7/export/kalvo-check.preset" <<PRESET
<?xml version="1.0" encoding="UTF-8"?>
<ExportPreset id="$KALVO_PRESET_ID" name="Kalvo check">
  <ExportFormat id="20b4ab09-6452-4cb3-bd66-b921cdbd2942"/>
  <ExportFilename>
    <Folder relative="0" path="$work/export"/>
    <Field name="label" enabled="1"/>
    <Field name="session" enabled="0"/>
    <Field name="snapshot" enabled="0"/>
    <Field name="timespan" enabled="0"/>
    <Field name="revision" enabled="0"/>
    <Field name="time" enabled="0" value="T_None"/>
    <Field name="date" enabled="0" value="D_None"/>
  </ExportFilename>
</ExportPreset>
PRESET
  export KALVO_SESSION=$work/session KALVO_EXPORT=$work/export
}
