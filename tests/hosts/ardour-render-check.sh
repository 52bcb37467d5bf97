#!/usr/bin/env bash
# Renders a take through the built plug-in in Ardour 7 (its headless Lua session, on the dummy
# audio backend) and checks that the render equals kalvo-render's decode of the same take:
# a real host, its buffers, its mixer and its export, against the VST 2.4 build's effect.
#   tests/hosts/ardour-render-check.sh lv2 BUILD_DIR     (BUILD_DIR/kalvo.lv2)
#   tests/hosts/ardour-render-check.sh vst3 BUILD_DIR    (BUILD_DIR/Kalvo.vst3)
#   tests/hosts/ardour-render-check.sh lv2-binaural BUILD_DIR   (the bundle's headphone plug-in,
#     on a stereo track with the head turned 30 degrees, against kalvo-render --layout binaural)
#   tests/hosts/ardour-render-check.sh vst3-binaural BUILD_DIR  (Kalvo.vst3's headphone class, on
#     a stereo track with the head turned 30 degrees, against kalvo-render --layout binaural)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=ardour-common.sh
. "$here/ardour-common.sh"
format=$1
build=$(realpath "$2")
command -v ardour7-lua >/dev/null || { echo "ardour-render-check: ardour7-lua is not installed" >&2; exit 1; }

work=$(mktemp -d)
trap '[ -n "${KALVO_KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/plugins" "$work/export" "$work/config/ardour7/export"
# Ardour's configuration and caches in a folder of their own: the user's are left alone.
export XDG_CONFIG_HOME=$work/config HOME=$work
case $format in
  lv2)
    ln -s "$build/kalvo.lv2" "$work/plugins/kalvo.lv2"
    export LV2_PATH=$work/plugins KALVO_PLUGIN_TYPE=LV2 KALVO_PLUGIN_ID=urn:velmora:kalvo
    # What ardour-render.lua sets on the plug-in's controls.
    settings=(--set FrontAngle=60 --set RearDelay=12 --set RearLowPass=8 --set SurroundVolume=-6)
    tolerance=1e-15
    ;;
  lv2-binaural)
    ln -s "$build/kalvo.lv2" "$work/plugins/kalvo.lv2"
    export LV2_PATH=$work/plugins KALVO_PLUGIN_TYPE=LV2 KALVO_PLUGIN_ID=urn:velmora:kalvo#binaural
    # Two outputs; the head's yaw, pitch, roll and tracker switch come before the thirteen controls.
    export KALVO_OUTPUTS=2 KALVO_CONTROL_OFFSET=4 KALVO_HEAD_YAW=30
    settings=(--set FrontAngle=60 --set RearDelay=12 --set RearLowPass=8 --set SurroundVolume=-6
      --layout binaural --yaw 30)
    # The renderer's 64-frame partitions start at activation; Ardour's cycles (1024 frames)
    # keep them where kalvo-render's start at the file's first frame, so the bits agree too.
    tolerance=1e-15
    ;;
  vst3)
    kalvo_scan_vst3 ardour-render-check
    grep -h -o 'n_inputs="[0-9]*" n_outputs="[0-9]*"' "$work"/.cache/ardour7/vst/*.v3i
    settings=()
    tolerance=1e-15
    ;;
  vst3-binaural)
    kalvo_scan_vst3 ardour-render-check
    grep -q 'Found Plugin: Zentri Surround Tool Binaural' "$work/scan.log" ||
      { echo "ardour-render-check: Ardour's scanner lists no headphone class" >&2; exit 1; }
    # The head's yaw is the 22nd parameter Ardour lists (after the thirteen controls and the eight
    # meters), set in degrees: Ardour converts with the controller's plainParamToNormalized.
    export KALVO_PLUGIN_ID="Zentri Surround Tool Binaural" KALVO_OUTPUTS=2
    export KALVO_YAW_CONTROL=21 KALVO_HEAD_YAW=30
    settings=(--layout binaural --yaw 30)
    tolerance=1e-15
    ;;
  *) echo "ardour-render-check: format lv2, lv2-binaural, vst3 or vst3-binaural, not '$format'" >&2; exit 2 ;;
esac

kalvo_export_preset
# Ardour 7.3's headless session now and then crashes on its own while it tears an export
# down (it does so without any plug-in in the session too, about every other run here):
# what counts is the rendered files, and a run that did not get that far is tried again.
rendered=false
for attempt in 1 2 3 4 5; do
  rm -rf "$work/session" "$work/export"/*
  timeout 300 ardour7-lua "$here/ardour-render.lua" >"$work/ardour.log" 2>&1 || true
  if grep -q '^ardour-render: rendered' "$work/ardour.log"; then
    rendered=true
    break
  fi
  grep '^ardour-render:' "$work/ardour.log" || true
  echo "ardour-render-check: Ardour stopped before the render was complete (attempt $attempt)"
done
if ! $rendered; then
  cat "$work/ardour.log" >&2
  echo "ardour-render-check: Ardour did not render" >&2
  exit 1
fi
grep '^ardour-render:' "$work/ardour.log"

# The take as Ardour recorded it: one file per input, front mid, side, rear mid.
mapfile -t take < <(find "$work/session/interchange" -name '*.wav' | sort)
[ ${#take[@]} -eq 3 ] || { echo "ardour-render-check: expected a take of 3 files, found ${#take[@]}" >&2; exit 1; }
"$build/tools/kalvo-render" "${take[@]}" "$work/reference.wav" --precision single --bits 32 "${settings[@]}"
# Ardour runs its mixer between takes, so the plug-in has decoded silence before the render
# starts: its anti-denormal offset (around 1e-20) then differs in the first frame.
python3 "$here/compare-wav.py" --tolerance "$tolerance" "$work/reference.wav" "$work/export/export.wav"
