#!/usr/bin/env bash
# Checks a built kalvo_<version>_amd64.deb:
#   lintian finds no error (warnings are printed and allowed);
#   the package holds exactly the expected files (the VST 2.4 plug-in, the LV2 bundle, the tools);
#   it depends on the libraries the binaries link and on the panel's font;
#   the packaged tools run and print the package's version;
#   the bash completion completes options and parameter names from the tool's own --help.
# With --install (CI) it also installs the package with apt, runs the installed tool, removes
# the package and checks that nothing of it is left; skipped when kalvo is installed already.
#   tests/package/check-deb.sh [--install] kalvo_1.1.0_amd64.deb
set -euo pipefail
install_too=false
if [ "${1:-}" = "--install" ]; then
  install_too=true
  shift
fi
deb=$(realpath "$1")
failures=0
fail() {
  echo "check-deb: $*" >&2
  failures=$((failures + 1))
}

version=$(dpkg-deb -f "$deb" Version)
[ "$(basename "$deb")" = "kalvo_${version}_amd64.deb" ] || fail "file name $(basename "$deb") does not carry version $version"

if ! lintian --fail-on error --tag-display-limit 0 "$deb"; then
  fail "lintian reports errors"
fi

expected="./usr/bin/kalvo-render
./usr/bin/kalvo-snapshot
./usr/lib/lv2/kalvo.lv2/binaural.ttl
./usr/lib/lv2/kalvo.lv2/kalvo.so
./usr/lib/lv2/kalvo.lv2/kalvo.ttl
./usr/lib/lv2/kalvo.lv2/kalvo_binaural.so
./usr/lib/lv2/kalvo.lv2/kalvo_ui.so
./usr/lib/lv2/kalvo.lv2/manifest.ttl
./usr/lib/lv2/kalvo.lv2/presets.ttl
./usr/lib/vst/Kalvo.so
./usr/lib/vst3/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so
./usr/share/bash-completion/completions/kalvo-render
./usr/share/doc/kalvo/changelog.gz
./usr/share/doc/kalvo/copyright
./usr/share/man/man1/kalvo-render.1.gz
./usr/share/man/man1/kalvo-snapshot.1.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { print $6 }' | sort)
if [ "$files" != "$expected" ]; then
  fail "unexpected file list:"
  diff <(echo "$expected") <(echo "$files") >&2 || true
fi

depends=$(dpkg-deb -f "$deb" Depends)
for dep in libc6 libcairo2 libx11-6 libsndfile1 fonts-liberation; do
  [[ ", $depends," == *", $dep "* || ", $depends," == *", $dep,"* ]] || fail "Depends lacks $dep: $depends"
done

tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
dpkg-deb -x "$deb" "$tree"
for tool in kalvo-render kalvo-snapshot; do
  shown=$("$tree/usr/bin/$tool" --version)
  [ "$shown" = "$tool $version" ] || fail "$tool --version prints '$shown', not '$tool $version'"
  zcat "$tree/usr/share/man/man1/$tool.1.gz" | grep -qF -- '\-\-version' || fail "the manual page of $tool lacks --version"
done

# Completion of a command line: the words so far, the last one being completed.
complete_words() {
  PATH="$tree/usr/bin:$PATH" bash -c '
    source /usr/share/bash-completion/bash_completion
    source "$0"
    compopt() { :; } # only works inside a real completion
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}
    _kalvo_render kalvo-render "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
    printf "%s\n" "${COMPREPLY[@]}"' "$tree/usr/share/bash-completion/completions/kalvo-render" "$@"
}
[ "$(complete_words kalvo-render --pres)" = "--preset" ] ||
  fail "completion of --pres: $(complete_words kalvo-render --pres)"
[ "$(complete_words kalvo-render in.wav --set RearD)" = "RearDelay=" ] ||
  fail "completion of --set RearD: $(complete_words kalvo-render in.wav --set RearD)"
[ "$(complete_words kalvo-render day04 --tra)" = "--tracks" ] ||
  fail "completion of --tra: $(complete_words kalvo-render day04 --tra)"
[ "$(complete_words kalvo-render day04 --out)" = "--out-dir" ] ||
  fail "completion of --out: $(complete_words kalvo-render day04 --out)"

# The VST 3 module exports its three entry points and nothing else.
vst3_module="$tree/usr/lib/vst3/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so"
exports=$(nm -D --defined-only "$vst3_module" | awk '{ print $3 }' | sort | tr '\n' ' ')
[ "$exports" = "GetPluginFactory ModuleEntry ModuleExit " ] || fail "Kalvo.vst3 exports: $exports"

if $install_too; then
  if dpkg-query -W -f='${Status}' kalvo 2>/dev/null | grep -q "install ok installed"; then
    echo "check-deb: kalvo is installed on this machine already; install round trip skipped"
  else
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$deb" >/dev/null
    installed=$(dpkg -L kalvo | while read -r f; do [ -f "$f" ] && echo "$f"; done)
    shown=$(env -i PATH=/usr/bin:/bin kalvo-render --version)
    [ "$shown" = "kalvo-render $version" ] || fail "installed kalvo-render --version prints '$shown'"
    [ -f /usr/lib/vst/Kalvo.so ] || fail "the plug-in is not in /usr/lib/vst"
    [ -f /usr/lib/vst3/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so ] || fail "the VST 3 bundle is not in /usr/lib/vst3"
    # LV2 hosts find the bundle in the system folder without any setting.
    env -u LV2_PATH lv2ls | grep -qx 'urn:velmora:kalvo' || fail "lv2ls does not list urn:velmora:kalvo"
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq kalvo >/dev/null
    for f in $installed; do
      [ ! -e "$f" ] || fail "removal left $f behind"
    done
  fi
fi

if [ "$failures" -ne 0 ]; then
  echo "check-deb: $failures check(s) failed for $deb" >&2
  exit 1
fi
echo "check-deb: $deb is fine (version $version)"
