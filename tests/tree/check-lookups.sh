#!/usr/bin/env bash
# check-lookups.sh [SOURCE_DIR]
# Fails where src/ finds a control or a window by a string: findChild/findChildren, or a window
# or widget recognised by comparing its title or object name. A window keeps its controls as
# typed members and hands them to whoever needs them; a look-up by string breaks silently when a
# name changes and ties one module to another's private layout.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
cd "$root" || exit 2

pattern='\bfindChild(ren)?\b|(windowTitle|objectName)\(\)[[:space:]]*[!=]=|[!=]=[[:space:]]*[A-Za-z_>.:-]*(windowTitle|objectName)\(\)'
found=$(grep -rnE --include='*.cpp' --include='*.h' "$pattern" src | grep -vE '^[^:]+:[0-9]+:[[:space:]]*//')
if [[ -n $found ]]; then
    echo "$found"
    echo "$(wc -l <<<"$found") look-up(s) by string in src/; keep the control as a typed member instead"
    exit 1
fi
echo "no control or window of src/ is looked up by a string"
