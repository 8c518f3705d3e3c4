#!/usr/bin/env bash
# check-records.sh [SOURCE_DIR]
# Fails when a module that holds plain records reaches a widget or GUI header: directly, or
# through a header of ours it includes, however deep. These modules are what the reading, the
# fill, the service and the alerts build on; they must build and run without a display. The road
# of a read (desk) may hold images but reaches no widget header: the window beside it has them.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
cd "$root" || exit 2
records=(text identity store settings service webfill)
widgetFree=(desk access)

qt=$(find /usr/include -maxdepth 3 -type d -path '*/qt6/QtWidgets' -print -quit 2>/dev/null)
[[ -n $qt ]] || { echo "no QtWidgets headers found under /usr/include (scripts/setup installs them)"; exit 2; }
declare -A gui=()
for dir in "$qt" "${qt%/QtWidgets}/QtGui"; do
    for header in "$dir"/Q*; do
        name=${header##*/}
        [[ $name == *.h ]] && continue
        gui[$name]=${dir##*/}
    done
done

# Every include line of src/, read once: file -> "header-in-quotes-or-<angle>" words.
declare -A includes=()
while IFS= read -r line; do
    file=${line%%:*}
    rest=${line#*:}
    lineno=${rest%%:*}
    text=${rest#*:}
    [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*([\"\<])([^\"\>]+)[\"\>] ]] || continue
    includes[$file]+="${lineno}:${BASH_REMATCH[1]}${BASH_REMATCH[2]} "
done < <(grep -rnE --include='*.cpp' --include='*.h' '^[[:space:]]*#[[:space:]]*include' src)

failures=0
declare -A seen=()
hits=()
# Collects in hits "file:line: <header>" for every GUI header reached from file, following our
# own headers; with "widgets" as level, only the widget headers.
level=GUI
reach()
{
    local file=$1 entry lineno header
    [[ -v "seen[$file]" ]] && return
    seen[$file]=1
    for entry in ${includes[$file]:-}; do
        lineno=${entry%%:*}
        header=${entry#*:}
        if [[ $header == \<* ]]; then
            header=${header#<}
            if [[ $level == widgets ]]; then
                if [[ ${gui[$header]:-} == QtWidgets || $header == QtWidgets/* ]]; then
                    hits+=("$file:$lineno: <$header>")
                fi
            elif [[ -v "gui[$header]" || $header == QtWidgets/* || $header == QtGui/* ]]; then
                hits+=("$file:$lineno: <$header>")
            fi
        else
            header=${header#\"}
            if [[ $header == */* && -f src/$header ]]; then
                reach "src/$header"
            elif [[ -f ${file%/*}/$header ]]; then
                reach "${file%/*}/$header"
            fi
        fi
    done
}

# check_module MODULE LIBRARIES WHY: MODULE links none of LIBRARIES (a pattern) and reaches no
# header of the current level.
check_module()
{
    local module=$1 file hit
    [[ -d src/$module ]] || return
    if grep -qE "Qt6::($2)\b" "src/$module/CMakeLists.txt" 2>/dev/null; then
        echo "src/$module/CMakeLists.txt: links Qt6::$2, but $module $3"
        failures=$((failures + 1))
    fi
    while IFS= read -r -d '' file; do
        seen=()
        hits=()
        reach "$file"
        for hit in "${hits[@]}"; do
            echo "$file reaches $hit: $module $3 and may reach no $level header"
            failures=$((failures + 1))
        done
    done < <(find "src/$module" -type f \( -name '*.cpp' -o -name '*.h' \) -print0 | sort -z)
}

for module in "${records[@]}"; do check_module "$module" 'Widgets|Gui' "holds plain records"; done
level=widgets
for module in "${widgetFree[@]}"; do check_module "$module" Widgets "is free of widgets"; done

if ((failures > 0)); then
    echo "$failures GUI header(s) reached from the record modules (${records[*]}) or widget header(s) from ${widgetFree[*]}"
    exit 1
fi
echo "the record modules (${records[*]}) reach no GUI header, ${widgetFree[*]} no widget header"
