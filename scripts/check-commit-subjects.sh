#!/usr/bin/env bash
# Fails when a commit made after the rule came in has a subject longer than 72
# characters (CONTRIBUTING.md). The commits checked are those after Base, the head of
# main when this check was added; older history is left as it is.
#   scripts/check-commit-subjects.sh [REVISION]     (default HEAD)
# In a shallow clone that lacks Base, every commit the clone holds is checked: they
# are all newer than Base.
set -euo pipefail
cd "$(dirname "$0")/.."

readonly Base=4c772872feb2fd332a703734ce84809610e77a2e
readonly MaxSubject=72
head=${1:-HEAD}

if git cat-file -e "$Base^{commit}" 2>/dev/null; then
    if ! git merge-base --is-ancestor "$Base" "$head"; then
        echo "check-commit-subjects: $head does not descend from $Base, the commit the rule starts after" >&2
        exit 1
    fi
    range=("$Base..$head")
elif [ "$(git rev-parse --is-shallow-repository)" = true ]; then
    echo "check-commit-subjects: shallow clone without $Base; checking the $(git rev-list --count "$head") commits it holds"
    range=("$head")
else
    echo "check-commit-subjects: $Base, the commit the rule starts after, is not in this repository" >&2
    exit 1
fi

# Characters, not bytes: a subject may hold letters outside ASCII.
export LC_ALL=C.UTF-8
status=0
count=0
while IFS= read -r -d '' line; do
    count=$((count + 1))
    hash=${line%% *}
    subject=${line#* }
    if [ ${#subject} -gt $MaxSubject ]; then
        echo "check-commit-subjects: ${hash:0:12}: the subject has ${#subject} characters (at most $MaxSubject): $subject" >&2
        status=1
    fi
done < <(git log -z --format='%H %s' "${range[@]}")
[ $status -eq 0 ] && echo "check-commit-subjects: $count commits checked, every subject at most $MaxSubject characters"
exit $status
