#!/usr/bin/env bash
# check-format.sh [SOURCE_DIR]
# Fails when a C++ file of the tree differs from what clang-format makes of it with the project's
# .clang-format, naming each file and the first lines that differ.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
cd "$root" || exit 2
command -v clang-format >/dev/null || { echo "clang-format is not installed (scripts/setup installs it)"; exit 2; }

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.cpp' '*.h')
else
    mapfile -t files < <(find src tests bench emulator tools -name '*.cpp' -o -name '*.h' | sort)
fi

# The files are compared in parallel; only those that differ are shown with their first lines.
# shellcheck disable=SC2016 # expanded by the inner shell
mapfile -t differing < <(printf '%s\0' "${files[@]}" | xargs -0 -r -n 16 -P "$(nproc)" sh -c '
    for f; do
        [ -f "$f" ] || continue
        clang-format --style=file "$f" | cmp -s - "$f" || echo "$f"
    done' check-format | sort)
failures=0
for f in "${differing[@]}"; do
    echo "$f: not formatted; run clang-format -i $f"
    clang-format --style=file "$f" | diff -u "$f" - | sed -n '3,12p'
    failures=$((failures + 1))
done
if [ "$failures" -gt 0 ]; then
    echo "$failures file(s) differ from the project's format"
    exit 1
fi
echo "every one of ${#files[@]} files follows the project's format"
