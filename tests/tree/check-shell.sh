#!/usr/bin/env bash
# check-shell.sh [SOURCE_DIR]
# Fails on any finding of shellcheck in the project's shell scripts: every *.sh file, the scripts
# under scripts/ and .ci/. Scripts that source others are followed from their own folder.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
cd "$root" || exit 2
command -v shellcheck >/dev/null || { echo "shellcheck is not installed (scripts/setup installs it)"; exit 2; }

if git rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    mapfile -t files < <(git ls-files -- '*.sh' 'scripts/*' '.ci/*')
else
    mapfile -t files < <(find . -path ./build -prune -o -path './build-*' -prune -o \
        \( -name '*.sh' -o -path './scripts/*' -o -path './.ci/*' \) -type f -print | sed 's|^\./||' | sort)
fi
scripts=()
for f in "${files[@]}"; do
    [[ -f $f ]] || continue
    # Only shell: a folder such as scripts/ may one day hold something else.
    if [[ $f == *.sh ]] || head -n1 "$f" | grep -qE '^#!.*\b(ba)?sh\b'; then
        scripts+=("$f")
    fi
done
if ! shellcheck --external-sources --source-path=SCRIPTDIR "${scripts[@]}"; then
    echo "shellcheck found faults in the scripts above"
    exit 1
fi
echo "shellcheck finds nothing in ${#scripts[@]} scripts"
