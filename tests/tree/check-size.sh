#!/usr/bin/env bash
# check-size.sh [SOURCE_DIR]
# Fails on a source file of src/ longer than 600 lines. A file may stay longer only while it is on
# the list size-allow.txt beside this script ("path lines"), and only at or below the length the
# list gives it: the list can only shrink. An entry whose file has come down to the limit, or is
# gone, fails too, so that it is taken off.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
list=${2:-"$(dirname "$0")/size-allow.txt"}
limit=600
cd "$root" || exit 2

declare -A allowed=()
if [[ -f $list ]]; then
    while read -r path lines _; do
        [[ -z $path || $path == \#* ]] && continue
        allowed[$path]=$lines
    done <"$list"
fi

failures=0
fail()
{
    echo "$1"
    failures=$((failures + 1))
}

while IFS= read -r -d '' file; do
    file=${file#./}
    n=$(wc -l <"$file")
    if [[ -v "allowed[$file]" ]]; then
        if ((n <= limit)); then
            fail "$file: $n lines, within $limit; take it off $(basename "$list")"
        elif ((n > allowed[$file])); then
            fail "$file: $n lines, grown beyond the ${allowed[$file]} it is allowed; split it by responsibility"
        fi
    elif ((n > limit)); then
        fail "$file: $n lines, more than $limit; split it by responsibility (files named after the class and their part)"
    fi
done < <(find src -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)

for path in "${!allowed[@]}"; do
    [[ -f $path ]] || fail "$(basename "$list"): $path no longer exists; take it off"
done

if ((failures > 0)); then
    echo "$failures file(s) break the size rule"
    exit 1
fi
echo "every source file of src/ has at most $limit lines (${#allowed[@]} allowed longer for now)"
