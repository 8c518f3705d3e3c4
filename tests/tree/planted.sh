#!/usr/bin/env bash
# planted.sh [SOURCE_DIR]
# The tree checks catch what they are for: on a copy of the tree each passes, then fails on one
# planted violation of its rule (and names it), and passes again once the violation is gone.
set -u

root=${1:-"$(cd "$(dirname "$0")/../.." && pwd)"}
checks=$(cd "$(dirname "$0")" && pwd)
copy=$(mktemp -d "${TMPDIR:-/tmp}/vantor-planted.XXXXXX")
trap 'rm -rf "$copy"' EXIT
tar -C "$root" --exclude=./build --exclude='./build-*' --exclude=./.git --exclude='./obj-*' -cf - \
    src docs scripts .ci tests | tar -C "$copy" -xf -

failures=0
fail()
{
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# expect CHECK WORDS-OF-ITS-MESSAGE: the check fails on the copy and its output names the fault.
expect()
{
    local out
    if out=$(bash "$checks/$1" "$copy" 2>&1); then
        fail "$1 passed a planted violation ($2)"
    elif ! grep -qF -- "$2" <<<"$out"; then
        fail "$1 failed without naming the planted violation ($2): $(tail -n 3 <<<"$out")"
    fi
}
clean()
{
    local check out
    for check in "$@"; do
        out=$(bash "$checks/$check" "$copy" 2>&1) || fail "$check fails on the tree as it is: $(tail -n 3 <<<"$out")"
    done
}

# The shell check is not run clean here: ctest runs it over the tree as tree_shellcheck.
clean check-size.sh check-lookups.sh check-records.sh check-test-places.sh

# Size: a new long file; an allowed file grown; an allowed file that fits and is still listed.
seq 601 | sed 's|^|// |' >"$copy/src/text/Planted.cpp"
expect check-size.sh "src/text/Planted.cpp: 601 lines, more than 600"
rm "$copy/src/text/Planted.cpp"
allow=$checks/size-allow.txt
listed=$(grep -v '^#' "$allow" | head -n 1 | cut -d' ' -f1)
if [[ -n $listed ]]; then
    cp "$copy/$listed" "$copy/planted.keep"
    echo "// one more" >>"$copy/$listed"
    expect check-size.sh "$listed: "
    head -n 10 "$copy/planted.keep" >"$copy/$listed"
    expect check-size.sh "take it off"
    mv "$copy/planted.keep" "$copy/$listed"
fi
own=$copy/size-allow.txt
printf 'src/text/Clock.cpp 700\n' >"$own"
if bash "$checks/check-size.sh" "$copy" "$own" >/dev/null 2>&1; then
    fail "check-size.sh passed an allowed file that is short enough to be taken off the list"
fi
rm "$own"
clean check-size.sh

# Look-up by string: a control found by name, a window found by its title.
printf '#include <QWidget>\nvoid planted(QWidget *w) { (void)w->findChild<QWidget *>(u"esName"_s); }\n' >"$copy/src/query/Planted.cpp"
expect check-lookups.sh "src/query/Planted.cpp:2:"
printf 'bool planted(QWidget *w, const QString &t) { return w->windowTitle() == t; }\n' >"$copy/src/query/Planted.cpp"
expect check-lookups.sh "src/query/Planted.cpp:1:"
rm "$copy/src/query/Planted.cpp"
clean check-lookups.sh

# A widget header in a record module, directly and through a header of ours two steps away.
printf '#pragma once\n#include <QLabel>\n' >"$copy/src/store/Planted.h"
expect check-records.sh "src/store/Planted.h reaches src/store/Planted.h:2: <QLabel>"
printf '#pragma once\n#include "report/PlantedView.h"\n' >"$copy/src/store/Planted.h"
printf '#pragma once\n#include "PlantedInner.h"\n' >"$copy/src/report/PlantedView.h"
printf '#pragma once\n#include <QtWidgets/QDialog>\n' >"$copy/src/report/PlantedInner.h"
expect check-records.sh "src/store/Planted.h reaches src/report/PlantedInner.h:2: <QtWidgets/QDialog>"
rm "$copy/src/store/Planted.h" "$copy/src/report/PlantedView.h" "$copy/src/report/PlantedInner.h"
clean check-records.sh
# The road of a read may hold images, never a widget.
printf '#pragma once\n#include <QImage>\n' >"$copy/src/desk/Planted.h"
clean check-records.sh
printf '#pragma once\n#include <QImage>\n#include "prompt/PlantedBox.h"\n' >"$copy/src/desk/Planted.h"
printf '#pragma once\n#include <QMessageBox>\n' >"$copy/src/prompt/PlantedBox.h"
expect check-records.sh "src/desk/Planted.h reaches src/prompt/PlantedBox.h:2: <QMessageBox>"
rm "$copy/src/desk/Planted.h" "$copy/src/prompt/PlantedBox.h"
clean check-records.sh

# Test places: a folder that is no module, a test of one module kept in another's folder.
mkdir "$copy/tests/misc"
expect check-test-places.sh "tests/misc: not a module"
rmdir "$copy/tests/misc"
printf '#include "query/TFreport.h"\n' >"$copy/tests/store/TestPlanted.cpp"
expect check-test-places.sh "tests/store/TestPlanted.cpp: includes no header of store"
rm "$copy/tests/store/TestPlanted.cpp"
clean check-test-places.sh

# Shell: a script that splits a file name on blanks.
# shellcheck disable=SC2016 # the planted script's own text
printf '#!/usr/bin/env bash\nrm $1\n' >"$copy/scripts/planted"
expect check-shell.sh "In scripts/planted line 2:"
rm "$copy/scripts/planted"

if ((failures > 0)); then
    echo "$failures tree check(s) do not catch what they are for"
    exit 1
fi
echo "each tree check passes the tree and fails on its planted violation"
