#!/usr/bin/env bash
# Builds with warnings as errors and runs every test; the X server tests run under Xvfb.
#   ./test.sh              normal build in build/, renders through the LV2 and VST 3 builds in Ardour,
#                          their factory presets chosen there (tests/hosts), then the Windows build
#                          in build-windows/ (cross-compiled) with its tests under Wine
#                          (scripts/test-windows.sh)
#   ./test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer build in build-asan/
#   ./test.sh --thread     ThreadSanitizer build in build-tsan/ of the tests that run the
#                          engine on two threads (kalvo-render's batches and the VST 3 build's
#                          two parts among them), and of the engine's own tests
set -euo pipefail
cd "$(dirname "$0")"
scripts/deps.sh
if [ "${1:-}" = "--thread" ]; then
  cmake -S . -B build-tsan -DKALVO_WERROR=ON -DKALVO_SANITIZE_THREAD=ON -DKALVO_BUILD_BENCH=OFF >/dev/null
  cmake --build build-tsan -j"$(nproc)" --target kalvo_effect_thread_tests kalvo_vst3_thread_tests \
    kalvo_dsp_tests kalvo_render_tests
  export TSAN_OPTIONS=halt_on_error=1
  build-tsan/tests/effect/kalvo_effect_thread_tests
  build-tsan/tests/formats/vst3/kalvo_vst3_thread_tests
  build-tsan/tests/dsp/kalvo_dsp_tests
  # kalvo-render's batches: several files, each with its own effect, at once.
  build-tsan/tests/tools/kalvo_render_tests --gtest_filter='KalvoRenderBatch.*'
  exit 0
fi
builddir=build
flags=(-DKALVO_WERROR=ON)
if [ "${1:-}" = "--sanitize" ]; then
  builddir=build-asan
  flags+=(-DKALVO_SANITIZE=ON -DKALVO_BUILD_BENCH=OFF)
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
fi
cmake -S . -B "$builddir" "${flags[@]}" >/dev/null
cmake --build "$builddir" -j"$(nproc)"
# A hung test fails after five minutes instead of stalling the run.
ctest_args=(--test-dir "$builddir" --output-on-failure --timeout 300 -j"$(nproc)")
if [ -z "${DISPLAY:-}" ]; then
  # -noreset: Xvfb would otherwise reset when its last client leaves and refuse the next test for a moment.
  xvfb-run -a -s "-screen 0 1280x1024x24 +extension XTEST -noreset" ctest "${ctest_args[@]}"
else
  ctest "${ctest_args[@]}"
fi
if [ "$builddir" = build ]; then
  # A real host: Ardour renders a take through the LV2 and the VST 3 build, compared with
  # kalvo-render, and chooses each factory preset from its own preset list (a hang fails).
  scripts/deps.sh --hosts
  tests/hosts/ardour-render-check.sh lv2 "$builddir"
  tests/hosts/ardour-render-check.sh lv2-binaural "$builddir"
  tests/hosts/ardour-render-check.sh vst3 "$builddir"
  tests/hosts/ardour-render-check.sh vst3-binaural "$builddir"
  tests/hosts/ardour-preset-check.sh lv2 "$builddir"
  tests/hosts/ardour-preset-check.sh vst3 "$builddir"
  scripts/test-windows.sh
fi
