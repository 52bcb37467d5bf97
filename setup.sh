#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs the main job:
# installs the packages, builds in release mode, installs Kalvo.so into ~/.vst
# and decodes the synthesised demo scene with kalvo-render.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKALVO_BUILD_TESTS=OFF -DKALVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
if [ -f build-release/plugin/Kalvo.so ]; then
  mkdir -p "$HOME/.vst"
  install -m 0755 build-release/plugin/Kalvo.so "$HOME/.vst/Kalvo.so"
  echo "Installed $HOME/.vst/Kalvo.so"
fi
if [ -x build-release/tools/kalvo-render ]; then
  mkdir -p out
  build-release/tools/kalvo-render --demo out/demo-5.1.wav
elif [ -x build-release/tools/kalvo-engine-demo ]; then
  build-release/tools/kalvo-engine-demo
fi
