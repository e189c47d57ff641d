#!/usr/bin/env bash
# Builds the program and its tests with AddressSanitizer and UndefinedBehaviorSanitizer
# in build-asan/ and runs the whole test suite there. Any sanitizer report fails it.
#   scripts/sanitize.sh
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=$root/build-asan
flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_FLAGS="$flags" -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
cmake --build "$build" -j"$(nproc)"

# Qt and fontconfig keep caches for the life of the process; leaks are not what this
# run looks for (the memory benchmarks watch growth). Strict string checks stay off:
# the X keyboard library reads its own strings with strndup past their ends, which
# only that option reports.
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1:detect_stack_use_after_return=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
cd "$build" && QT_QPA_PLATFORM=offscreen ctest --output-on-failure
