#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need; does nothing when all are present.
#   scripts/deps.sh             build, tests, demo
#   scripts/deps.sh --package   also what the Debian package and its check need
#   scripts/deps.sh --tidy      also the static analyser (scripts/clang-tidy.sh)
#   scripts/deps.sh --hosts     also the real hosts the tests render through (Ardour)
set -euo pipefail
packages=(
  build-essential cmake pkg-config python3   # python3: the layering test
  libgtest-dev libgmock-dev libbenchmark-dev
  libcairo2-dev libx11-dev libxtst-dev libxres-dev libfontconfig-dev fonts-liberation
  libsndfile1-dev libcli11-dev   # kalvo-render's sound files; the tools' command line
  libexpat1-dev   # kalvo-render: the takes' iXML chunks
  lv2-dev liblilv-dev lilv-utils sordi   # the LV2 build, its test host and the bundle's validation
  libmysofa-dev liblo-dev liblo-tools   # binaural output (libmysofa1 brings /usr/share/libmysofa/default.sofa); head tracking over OSC (oscsend to try it)
  xvfb xauth xdotool x11-utils
  groff-base man-db   # the manual pages' check (groff) and `man kalvo-render` after setup.sh
  g++-mingw-w64-x86-64-posix wine64 wine
)
if [ "${1:-}" = "--package" ]; then
  packages+=(dpkg-dev lintian bash-completion)
fi
if [ "${1:-}" = "--tidy" ]; then
  packages+=(clang-tidy)
fi
if [ "${1:-}" = "--hosts" ]; then
  packages+=(ardour python3)
fi
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
echo "Installing: ${missing[*]}"
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
