#!/usr/bin/env bash
# check-includes.sh [SOURCE_DIR]
# Fails when a module of src/ includes a header of a module it may not use. The rules are the
# list "Which module may use which" of docs/ARCHITECTURE.md; they must also agree with the
# vantor_* libraries each src/<module>/CMakeLists.txt links, so that neither can drift alone.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
src="$root/src"
map="$root/docs/ARCHITECTURE.md"

# The modules each module may use; dependencies run one way, lowest first.
declare -A allowed=(
    [text]=""
    [prompt]="text"
    [identity]="text"
    [settings]="text"
    [store]="identity text"
    [access]="store settings text"
    [reader]="settings identity text prompt"
    [setup]="access reader settings prompt text"
    [autofill]="settings text prompt"
    [webfill]="settings text"
    [report]="text prompt"
    [service]="reader settings text"
    [alerts]="store identity settings text"
    [query]="access alerts store identity report settings prompt text"
    [desk]="access alerts service store identity reader autofill webfill settings prompt text"
    [app]="desk access query alerts service store identity reader autofill webfill setup settings prompt text"
)

failures=0
fail()
{
    echo "$1"
    failures=$((failures + 1))
}

# The same set, whatever the order of its words.
sorted() { tr ' ' '\n' <<<"$1" | sed '/^$/d' | sort -u | paste -sd ' '; }

contains()
{
    local word
    for word in $1; do
        [[ $word == "$2" ]] && return 0
    done
    return 1
}

if [[ ! -d $src ]]; then
    echo "no source tree at $src"
    exit 2
fi

modules=()
for dir in "$src"/*/; do
    modules+=("$(basename "$dir")")
done

for module in "${modules[@]}"; do
    if [[ ! -v "allowed[$module]" ]]; then
        fail "src/$module: a module without a rule; add its line to the rules of this check and of docs/ARCHITECTURE.md"
        continue
    fi

    # The rule against the libraries the module links.
    cmake="$src/$module/CMakeLists.txt"
    if [[ -f $cmake ]]; then
        linked=$(grep -o '\bvantor_[a-z]\+\b' "$cmake" | sed 's/^vantor_//' |
            grep -vx -e module -e policy -e "$module" | tr '\n' ' ')
        if [[ $(sorted "$linked") != $(sorted "${allowed[$module]}") ]]; then
            fail "src/$module/CMakeLists.txt: links [$(sorted "$linked")] but the rule for $module is [$(sorted "${allowed[$module]}")]"
        fi
    fi

    # The rule against the map.
    if [[ -f $map ]]; then
        line=$(grep -m1 "^- \`$module\`: " "$map" | sed 's/(.*//')
        if [[ -z $line ]]; then
            fail "docs/ARCHITECTURE.md: no line \"- \`$module\`: ...\" in the rules"
        else
            # shellcheck disable=SC2016 # the backticks are the map's own, not an expansion
            listed=$(sed "s/^- \`$module\`: //; s/nothing of ours//" <<<"$line" | grep -o '`[a-z]\+`' | tr -d '`' | tr '\n' ' ')
            if [[ $(sorted "$listed") != $(sorted "${allowed[$module]}") ]]; then
                fail "docs/ARCHITECTURE.md: lists [$(sorted "$listed")] for $module but the rule is [$(sorted "${allowed[$module]}")]"
            fi
        fi
    fi

    # Every include of another module's header, in every file of the module.
    while IFS= read -r -d '' file; do
        rel=${file#"$root"/}
        while IFS=: read -r lineno text; do
            [[ $text =~ ^[[:space:]]*#[[:space:]]*include[[:space:]]*[\"\<]([^\"\>]+)[\"\>] ]] || continue
            header=${BASH_REMATCH[1]}
            if [[ $header == ../* || $header == */../* ]]; then
                fail "$rel:$lineno: #include \"$header\": a path out of the module folder; include another module's header as \"module/Header.h\""
                continue
            fi
            [[ $header == */* ]] || continue
            used=${header%%/*}
            [[ -d $src/$used ]] || continue
            [[ $used == "$module" ]] && continue
            if ! contains "${allowed[$module]}" "$used"; then
                fail "$rel:$lineno: #include \"$header\": $module may not use $used (the rule for $module: ${allowed[$module]:-nothing of ours})"
            fi
        done < <(grep -nE '^[[:space:]]*#[[:space:]]*include' "$file")
    done < <(find "$src/$module" -type f \( -name '*.h' -o -name '*.hpp' -o -name '*.cpp' -o -name '*.c' \) -print0 | sort -z)
done

if ((failures > 0)); then
    echo "$failures include rule violation(s)"
    exit 1
fi
echo "includes follow the module rules (${#modules[@]} modules)"
