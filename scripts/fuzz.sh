#!/usr/bin/env bash
# Builds the libFuzzer targets in build-fuzz/ (clang, AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for SECONDS (default 30) from its seed
# corpus: the importer's field reader, the SQL text builders, the Access file reader's
# stream, Access files mutated from reference-data/jet through the reader process, and
# the program's GIF reader.
# Exits non-zero when a target finds a crash; the input that caused it is left in
# build-fuzz/fuzz/crashes/<target>/.
#   scripts/fuzz.sh [SECONDS]
set -euo pipefail

seconds=${1:-30}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -lt 1 ]; then
    echo "usage: scripts/fuzz.sh [SECONDS]" >&2
    exit 2
fi
root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-fuzz
targets=(fuzz_delimited_reader fuzz_sql_text fuzz_jet_stream fuzz_jet_file fuzz_gif_decoder)

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTORVANELQUIST_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "${targets[@]}" -j2

failed=()
for target in "${targets[@]}"; do
    # New inputs go to a working corpus in the build folder; the seeds stay as they are.
    corpus=$build/fuzz/corpus/$target
    crashes=$build/fuzz/crashes/$target
    mkdir -p "$corpus" "$crashes"
    seeds=$root/fuzz/corpus/$target
    # Access (Jet) files are mutated from the real sample file.
    if [ "$target" = fuzz_jet_file ]; then
        seeds=$root/reference-data/jet
    fi
    echo "== $target: $seconds s"
    if ! "$build/fuzz/$target" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
        -artifact_prefix="$crashes/" -print_final_stats=1 \
        "$corpus" "$seeds" 2>"$build/fuzz/$target.log"; then
        failed+=("$target")
        grep -E '^(==[0-9]+==ERROR|SUMMARY|fuzz_|artifact_prefix|Test unit written)' "$build/fuzz/$target.log" >&2 || true
    fi
    grep -E '^(#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$build/fuzz/$target.log" || true
done

if [ ${#failed[@]} -gt 0 ]; then
    echo "fuzz.sh: crash found by ${failed[*]} (logs: $build/fuzz/<target>.log)" >&2
    exit 1
fi
echo "fuzz.sh: no crash in ${targets[*]}"
