#!/usr/bin/env bash
# Fails when a C++ source of the program, its tools, benchmarks or fuzz targets is
# longer than 600 lines: a file that grows past that is cut at its seams instead.
# Tests (tests/) are exempt, and nothing generated is tracked.
#   scripts/check-file-lengths.sh
set -euo pipefail
cd "$(dirname "$0")/.."

readonly MaxLines=600
status=0
while IFS= read -r file; do
    lines=$(wc -l <"$file")
    if [ "$lines" -gt "$MaxLines" ]; then
        echo "$file: $lines lines, more than $MaxLines" >&2
        status=1
    fi
done < <(git ls-files '*.cpp' '*.h' ':!:tests/')
if [ "$status" -eq 0 ]; then
    echo "check-file-lengths: no source outside tests/ is over $MaxLines lines"
fi
exit "$status"
