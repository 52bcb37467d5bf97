#!/usr/bin/env bash
# Builds the Windows build with warnings as errors (scripts/build-windows.sh) and runs its tests
# under Wine: the unit suites, the host tests against Kalvo.dll, the comparison with the
# build machine's build, the DLL's exports and imports, and the tests that need an X server
# (under Xvfb when no DISPLAY is set). ./test.sh runs this after the Linux tests.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ -z "${DISPLAY:-}" ] && [ -z "${KALVO_IN_XVFB:-}" ]; then
  # Wine's processes keep the X server they started with: the whole run goes under one Xvfb.
  KALVO_IN_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24 +extension XTEST -noreset" "$0" "$@"
fi
scripts/build-windows.sh -DKALVO_WERROR=ON "$@"
builddir=build-windows
export WINEPREFIX="$PWD/$builddir/wine-prefix" WINEDEBUG=-all
# Makes the prefix if needed, then keeps one wineserver (and Wine's services) running for all
# tests, so that each test program starts in a fraction of a second.
scripts/wine-run.sh --prefix "$WINEPREFIX" cmd /c exit >/dev/null
wineserver -k 2>/dev/null || true # also ends one left behind by an interrupted run
wineserver -p
desktopDpi() {
  wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$1" /f >/dev/null 2>&1
}
trap 'desktopDpi 96; wineserver -k || true' EXIT
scripts/wine-run.sh --prefix "$WINEPREFIX" cmd /c exit >/dev/null
desktopDpi 96
ctest --test-dir "$builddir" --output-on-failure --timeout 300 -j"$(nproc)"
# The panel on a desktop at 200 %: Wine reads the resolution as each program starts, so the one
# test that needs it runs alone, after the others.
desktopDpi 192
scripts/wine-run.sh --prefix "$WINEPREFIX" "$builddir/tests/editor/win32/kalvo_editor_win32_tests.exe" \
  --gtest_filter='KalvoEditorOnWindowsDesktop.*' --gtest_also_run_disabled_tests | tee "$builddir/desktop-dpi.log"
grep -q '^\[  PASSED  \] 1 test' "$builddir/desktop-dpi.log"
desktopDpi 96
