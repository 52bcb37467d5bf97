#!/usr/bin/env bash
# Chooses each of the five factory presets through Ardour 7's own preset call (what its preset
# box does; headless Lua session, dummy audio backend), then checks that the host's controls
# follow and that a take rendered with each preset equals kalvo-render's decode at that preset.
# A host that does not come back from choosing a preset within a few seconds fails the check.
#   tests/hosts/ardour-preset-check.sh lv2 BUILD_DIR     (BUILD_DIR/kalvo.lv2)
#   tests/hosts/ardour-preset-check.sh vst3 BUILD_DIR    (BUILD_DIR/Kalvo.vst3)
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source-path=SCRIPTDIR source=ardour-common.sh
. "$here/ardour-common.sh"
format=$1
build=$(realpath "$2")
command -v ardour7-lua >/dev/null || { echo "ardour-preset-check: ardour7-lua is not installed" >&2; exit 1; }
# Seconds Ardour may take to choose one preset; it takes well under a millisecond.
choice_limit=5

work=$(mktemp -d)
trap '[ -n "${KALVO_KEEP:-}" ] || rm -rf "$work"' EXIT
mkdir -p "$work/plugins" "$work/export" "$work/config/ardour7/export"
export XDG_CONFIG_HOME=$work/config HOME=$work
case $format in
  lv2)
    ln -s "$build/kalvo.lv2" "$work/plugins/kalvo.lv2"
    export LV2_PATH=$work/plugins KALVO_PLUGIN_TYPE=LV2 KALVO_PLUGIN_ID=urn:velmora:kalvo
    # An LV2 preset holds the values in the panel's units as 32-bit floats: the surround angle
    # of 5-Channel Musical, 147.6 degrees, is one rounding step off the program's knob
    # position (see README.md), which moves the surround channels by about 2e-8.
    tolerance=1e-7
    ;;
  vst3)
    kalvo_scan_vst3 ardour-preset-check
    # The program's own knob positions: only the first frame's anti-denormal offset differs
    # (see ardour-render-check.sh).
    tolerance=1e-15
    ;;
  *) echo "ardour-preset-check: format lv2 or vst3, not '$format'" >&2; exit 2 ;;
esac

kalvo_export_preset
log=$work/ardour.log

# One session: 0 when all five presets were chosen and rendered, 1 when Ardour did not come
# back from choosing one, 2 when it stopped otherwise.
session() {
  rm -rf "$work/session" "$work/export"/*
  : >"$log"
  timeout 300 ardour7-lua "$here/ardour-presets.lua" >"$log" 2>&1 &
  local ardour=$! n
  for n in 1 2 3 4 5; do
    until grep -q "^ardour-presets: loading $n\$" "$log"; do
      kill -0 "$ardour" 2>/dev/null || { wait "$ardour" || true; return 2; }
      sleep 0.1
    done
    # shellcheck disable=SC2016 # the arguments expand in the inner shell
    if ! timeout "$choice_limit" sh -c \
      'until grep -q "^ardour-presets: loaded $1 " "$2" || ! kill -0 "$3" 2>/dev/null; do sleep 0.05; done' \
      sh "$n" "$log" "$ardour"; then
      kill "$ardour" 2>/dev/null || true
      wait "$ardour" || true
      echo "ardour-preset-check: Ardour did not come back from choosing preset $n within $choice_limit s" >&2
      return 1
    fi
  done
  wait "$ardour" || true
  grep -q '^ardour-presets: rendered 5$' "$log" || return 2
}

# Ardour 7.3's headless session now and then crashes on its own while it tears an export down
# (see ardour-render-check.sh): a session that stopped is tried again, one that hung is not.
for attempt in 1 2 3 4 5; do
  status=0
  session || status=$?
  [ "$status" -eq 2 ] || break
  grep '^ardour-presets:' "$log" || true
  echo "ardour-preset-check: Ardour stopped before the renders were complete (attempt $attempt)"
done
if [ "$status" -ne 0 ]; then
  cat "$log" >&2
  echo "ardour-preset-check: the presets were not all chosen and rendered" >&2
  exit 1
fi
grep '^ardour-presets:' "$log"

mapfile -t take < <(find "$work/session/interchange" -name '*.wav' | sort)
[ ${#take[@]} -eq 3 ] || { echo "ardour-preset-check: expected a take of 3 files, found ${#take[@]}" >&2; exit 1; }
failed=0
for n in 1 2 3 4 5; do
  "$build/tools/kalvo-render" "${take[@]}" "$work/reference$n.wav" --precision single --bits 32 --preset "$n" -q
  echo -n "preset $n: "
  python3 "$here/compare-wav.py" --tolerance "$tolerance" "$work/reference$n.wav" "$work/export/preset$n.wav" ||
    failed=1
done
exit $failed
