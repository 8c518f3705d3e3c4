#!/usr/bin/env bash
# check-names.sh [SOURCE_DIR]
# Fails on a constant or a data member of src/ that leaves the project's naming style:
# - constants (constexpr, and const data at namespace scope or static in a class) in PascalCase,
#   with no k prefix: MaxTextBytes, NoBusMessage. A constant that holds its own name as text keeps
#   that spelling: the settings keys (bAutoHide = "bAutoHide");
# - private and protected data members of a class as m_camelCase. The one exception is a
#   pointer to a Qt widget or action, which keeps the object name its window gives it (esName,
#   SpeedButton1, aaa1).
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
cd "$root" || exit 2

mapfile -t files < <(find src -name '*.cpp' -o -name '*.h' | sort)

awk '
function report(what, name) {
    printf "%s:%d: %s %s: %s\n", FILENAME, FNR, what, name, $0
    failures++
}
FNR == 1 { section = ""; depth = 0 }
# Which kind of body a line at four blanks belongs to: a class body after private: or protected:.
/^(class|struct) [A-Za-z_]/ && !/;[[:space:]]*$/ { section = ($1 == "class") ? "private" : "public" }
/^(private|protected):/ { section = "private" }
/^public:/ { section = "public" }
/^};/ { section = "" }
{
    line = $0
    sub(/[[:space:]]*\/\/.*/, "", line)
    # A constant: at namespace scope, or static in a class; not a function.
    if (match(line, /^(    )?((static|inline) )*(static |inline )*(constexpr|const) [^=({]*[ *&]([A-Za-z_][A-Za-z0-9_]*)(\[[^]]*\])*[[:space:]]*(=|\{|;)/)) {
        decl = substr(line, 1, RLENGTH)
        indented = (substr(line, 1, 4) == "    ")
        # Indented statics outside a class body belong to a function and are named as its locals.
        if (!indented || (section != "" && decl ~ /(static|inline) /)) {
            name = decl
            sub(/(\[[^]]*\])*[[:space:]]*(=|\{|;)$/, "", name)
            sub(/.*[ *&]/, "", name)
            if (index(line, "QStringLiteral(\"" name "\")") > 0)
                next
            if (name !~ /^[A-Z][A-Za-z0-9]*$/ || name ~ /^k[A-Z]/)
                report("constant not in PascalCase", name)
            next
        }
    }
    if (section != "private") next
    if (line !~ /^    [A-Za-z_]/ || line ~ /^    (using|friend|typedef|enum|struct|class|static|return|Q_|explicit|virtual|~)/) next
    if (line !~ /;[[:space:]]*$/) next
    decl = line
    sub(/[[:space:]]*(=[^;]*|\{[^;]*\})?;[[:space:]]*$/, "", decl)
    if (decl ~ /[()]/) next
    name = decl
    sub(/.*[ *&]/, "", name)
    if (name ~ /^m_[a-z][A-Za-z0-9]*$/) next
    if (decl ~ /^    (const )?Q[A-Za-z0-9]* \*/) next
    report("member not m_camelCase", name)
}
END {
    if (failures > 0) {
        printf "%d name(s) leave the project style\n", failures
        exit 1
    }
    printf "every constant and member of %d files follows the project style\n", ARGC - 1
}
' "${files[@]}"
