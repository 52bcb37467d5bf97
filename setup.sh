#!/usr/bin/env bash
# Sets everything up on a fresh Debian 12 machine and runs the main job:
# installs the packages, builds in release mode, installs Kalvo.so into ~/.vst and the
# LV2 bundle kalvo.lv2 into ~/.lv2, the VST 3 bundle Kalvo.vst3 into ~/.vst3,
# puts kalvo-render and kalvo-snapshot on the PATH (links in ~/.local/bin) and
# decodes the synthesised demo scene with kalvo-render.
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DKALVO_BUILD_TESTS=OFF -DKALVO_BUILD_BENCH=OFF >/dev/null
cmake --build build-release -j"$(nproc)"
if [ -f build-release/Kalvo.so ]; then
  mkdir -p "$HOME/.vst"
  install -m 0755 build-release/Kalvo.so "$HOME/.vst/Kalvo.so"
  echo "Installed $HOME/.vst/Kalvo.so"
fi
# LV2 hosts (Ardour, Qtractor, Carla, jalv) search ~/.lv2 for the user's bundles.
if [ -f build-release/kalvo.lv2/manifest.ttl ]; then
  mkdir -p "$HOME/.lv2"
  rm -rf "$HOME/.lv2/kalvo.lv2"
  cp -r build-release/kalvo.lv2 "$HOME/.lv2/kalvo.lv2"
  echo "Installed $HOME/.lv2/kalvo.lv2"
fi
if [ -f build-release/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so ]; then
  # The whole bundle, replacing an older one (a stale file inside would confuse hosts).
  rm -rf "$HOME/.vst3/Kalvo.vst3"
  mkdir -p "$HOME/.vst3/Kalvo.vst3/Contents/x86_64-linux"
  install -m 0755 build-release/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so \
    "$HOME/.vst3/Kalvo.vst3/Contents/x86_64-linux/Kalvo.so"
  echo "Installed $HOME/.vst3/Kalvo.vst3"
fi

# The tools stay in the build folder; links on the PATH make them usable from any folder.
bindir="$HOME/.local/bin"
linked=()
for tool in kalvo-render kalvo-snapshot; do
  if [ -x "build-release/tools/$tool" ]; then
    mkdir -p "$bindir"
    ln -sfn "$PWD/build-release/tools/$tool" "$bindir/$tool"
    linked+=("$tool")
  fi
done
# Their manual pages where man looks for a user's own: man finds ~/.local/share/man
# through ~/.local/bin on the PATH.
mandir="$HOME/.local/share/man/man1"
for tool in "${linked[@]}"; do
  mkdir -p "$mandir"
  install -m 0644 "tools/$tool/$tool.1" "$mandir/$tool.1"
done
if [ ${#linked[@]} -gt 0 ]; then
  echo "Linked ${linked[*]} into $bindir, their manual pages into $mandir"
  case ":$PATH:" in
    *":$bindir:"*) ;;
    *)
      echo "$bindir is not on your PATH yet. Debian's ~/.profile adds it at your next login if it"
      echo "exists; until then run:  export PATH=\"\$HOME/.local/bin:\$PATH\""
      ;;
  esac
fi

if [ -x build-release/tools/kalvo-render ]; then
  build-release/tools/kalvo-render --demo out/demo-5.1.wav
elif [ -x build-release/tools/kalvo-engine-demo ]; then
  build-release/tools/kalvo-engine-demo
fi
