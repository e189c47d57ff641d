#!/usr/bin/env bash
# Fails when a C++ source is not laid out as .clang-format says, or a text file breaks
# .editorconfig's rules (LF line ends, a final newline, no trailing blanks, no tabs).
#   scripts/check-format.sh          check
#   scripts/check-format.sh --fix    lay out the C++ sources in place
set -euo pipefail
cd "$(dirname "$0")/.."

mapfile -t sources < <(git ls-files '*.cpp' '*.h')
if [ "${1:-}" = "--fix" ]; then
    clang-format -i "${sources[@]}"
    exit 0
fi

status=0
if ! clang-format --dry-run --Werror "${sources[@]}"; then
    echo "check-format: run scripts/check-format.sh --fix" >&2
    status=1
fi

mapfile -t texts < <(git ls-files '*.cpp' '*.h' '*.cmake' 'CMakeLists.txt' '*/CMakeLists.txt' '*.sh' '*.md' \
    '*.qrc' '.ci/*' '.clang-format' '.editorconfig' '.gitignore')
for file in "${texts[@]}"; do
    problems=()
    grep -q $'\r' "$file" && problems+=("CR line ends")
    grep -qE '[[:blank:]]+$' "$file" && [[ $file != *.md ]] && problems+=("trailing blanks")
    [[ $file != *.md ]] && grep -q $'\t' "$file" && problems+=("tabs")
    [ -s "$file" ] && [ -n "$(tail -c1 "$file")" ] && problems+=("no final newline")
    if [ ${#problems[@]} -gt 0 ]; then
        echo "$file: ${problems[*]}" >&2
        status=1
    fi
done
exit $status
