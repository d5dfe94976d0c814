#!/usr/bin/env bash
# The include rule's script against the real tree (clean) and against tiny trees, each with one
# planted breach that must fail with the file and the include named.
# Usage: check_includes_test.sh <source root>
set -uo pipefail
source_root=$1
script="$source_root/scripts/check-includes.sh"
work=$(mktemp -d "${TMPDIR:-/tmp}/zt-includes.$$.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAILED: $1"
    failures=$((failures + 1))
}

# A tree that keeps the rule: a model header on QtCore, a grid widget on QtWidgets, a dialog on
# a popup's header.
make_tree() {
    local tree=$1
    mkdir -p "$tree/core" "$tree/net" "$tree/grid/widgets" "$tree/ui/dialogs" "$tree/ui/main"
    printf '#pragma once\n#include <QString>\n#include "grid/GxGrid.h"\n' >"$tree/core/Model.h"
    printf '#include "net/netsock.h"\n#include <vector>\n' >"$tree/net/netsock.cpp"
    printf '#include <QObject>\n// #include <QWidget> is only a comment\n' >"$tree/grid/GxGrid.cpp"
    printf '#include <QWidget>\n#include <QtWidgets/QTableView>\n' >"$tree/grid/widgets/GxView.cpp"
    printf '#include "ui/main/alert_w.h"\n#include <QDialog>\n' >"$tree/ui/dialogs/tasks_add.cpp"
    printf '#include "ui/main/main_form.h"\n' >"$tree/ui/main/BigHint.cpp"
}

# Plants one line into one file of a fresh tree and expects the script to fail naming both.
expect_breach() {
    local file=$1 line=$2 target=$3
    local tree="$work/tree$((++case_number))"
    make_tree "$tree"
    printf '%s\n' "$line" >>"$tree/$file"
    local out rc
    out=$("$script" "$tree" 2>&1)
    rc=$?
    if [ "$rc" -eq 0 ]; then
        fail "$file with '$line' passed"
    elif ! grep -qF "$file:" <<<"$out" || ! grep -qF "includes $target" <<<"$out"; then
        fail "$file with '$line': the report does not name it: $out"
    fi
}
case_number=0

out=$("$script" "$source_root" 2>&1) || fail "the source tree breaks the rule: $out"

make_tree "$work/clean"
out=$("$script" "$work/clean" 2>&1) || fail "a clean tree failed: $out"

expect_breach core/Model.h '#include <QWidget>' QWidget
expect_breach core/Model.h '#  include <QDialog>' QDialog
expect_breach core/Extra.cpp '#include <QSpinBox>' QSpinBox
expect_breach core/Model.h '#include <QtWidgets/QLineEdit>' QtWidgets/QLineEdit
expect_breach core/Model.h '#include <QtWidgets>' QtWidgets
expect_breach core/Model.h '#include "ui/main/main_form.h"' ui/main/main_form.h
expect_breach core/Model.h '#include "desktop/StatusBarEx.h"' desktop/StatusBarEx.h
expect_breach core/Model.h '#include "messaging/ICQClient.h"' messaging/ICQClient.h
expect_breach net/netsock.cpp '#include <QMessageBox>' QMessageBox
expect_breach net/netsock.cpp '#include "ui/dialogs/Unit_tracert.h"' ui/dialogs/Unit_tracert.h
expect_breach grid/GxGrid.cpp '#include <QApplication>' QApplication
expect_breach grid/GxGrid.h '#include "grid/widgets/GxView.h"' grid/widgets/GxView.h
expect_breach ui/dialogs/tasks_add.cpp '#include "ui/main/main_form.h"' ui/main/main_form.h
expect_breach ui/dialogs/tasks_add.h '#include "ui/main/main_form.h"' ui/main/main_form.h

if [ "$failures" -gt 0 ]; then
    echo "$failures case(s) failed"
    exit 1
fi
echo "include rule checks: $case_number planted breaches caught, clean trees pass"
