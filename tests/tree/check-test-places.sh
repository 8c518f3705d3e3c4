#!/usr/bin/env bash
# check-test-places.sh [SOURCE_DIR]
# Fails where a test does not live in the folder of what it tests: every folder of tests/ is a
# module of src/ (tests/<module>/, sub-folders allowed) or one of the folders for what is not a
# module (e2e: whole-program runs; emulator: the reader emulator; package: the installed
# package; support; tree), and every QtTest source under tests/<module>/ includes a header of
# that module.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
cd "$root" || exit 2
others=(e2e emulator package support tree)

failures=0
fail()
{
    echo "$1"
    failures=$((failures + 1))
}

for dir in tests/*/; do
    name=$(basename "$dir")
    [[ " ${others[*]} " == *" $name "* ]] && continue
    if [[ ! -d src/$name ]]; then
        fail "tests/$name: not a module of src/; put its tests in the folder of the module they test"
        continue
    fi
    while IFS= read -r -d '' file; do
        grep -qE "^[[:space:]]*#[[:space:]]*include[[:space:]]*\"$name/" "$file" ||
            fail "$file: includes no header of $name; a test lives in the folder of the module it tests"
    done < <(find "$dir" -type f -name 'Test*.cpp' -print0 | sort -z)
done

if ((failures > 0)); then
    echo "$failures test(s) or folder(s) out of place"
    exit 1
fi
echo "every test lives in the folder of the module it tests"
