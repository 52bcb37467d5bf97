#!/usr/bin/env bash
# Static analysis of the product code with the repository's .clang-tidy, every warning an error.
#   scripts/clang-tidy.sh [BUILD_DIR]   (default build-tidy/, configured here with a compilation
#                                        database; nothing is compiled)
# Tests and benchmarks are not analysed: the checks are tuned for the product tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh --tidy
builddir=${1:-build-tidy}
cmake -S . -B "$builddir" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DKALVO_BUILD_BENCH=OFF >/dev/null
# Every product source the build compiles, once (object libraries may list a file twice).
python3 - "$builddir/compile_commands.json" "$PWD" >"$builddir/tidy-files.txt" <<'PY'
import json, re, sys
root = sys.argv[2].rstrip("/") + "/"
product = re.compile(r"(dsp|vst2|gui|effect|editor|formats|tools)/")
files = {e["file"] for e in json.load(open(sys.argv[1]))}
print("\n".join(sorted(f for f in files if f.startswith(root) and product.match(f[len(root):]))))
PY
log=$builddir/tidy.log
status=0
xargs -a "$builddir/tidy-files.txt" -P "$(nproc)" -n 4 \
  clang-tidy -p "$builddir" --quiet --warnings-as-errors='*' >"$log" 2>&1 || status=$?
# The findings, without clang-tidy's counts of what it generated and suppressed.
grep -v -e '^[0-9]* warnings\? generated\.$' -e '^Suppressed [0-9]* warnings' \
  -e '^Use -header-filter=' -e 'warnings treated as errors$' "$log" || true
if [ "$status" -eq 0 ]; then
  echo "clang-tidy: $(wc -l <"$builddir/tidy-files.txt") files, no findings"
else
  echo "clang-tidy: the findings above are errors"
fi
exit "$status"
