#!/usr/bin/env bash
# The include rule: the monitoring core (core/), the network clients (net/) and the grid model
# (grid/*.h, grid/*.cpp, not grid/widgets/) include no widget header and nothing under ui/,
# desktop/, messaging/ or grid/widgets/; no dialog (ui/dialogs/) includes the main window's header;
# no window names another window's global (only the start-up and the window's own files do: the
# others reach it through the roles in the services). ui/common/ is at the windows' floor.
# Usage: check-includes.sh [source root]; prints each breach and exits 1 when there is one.
set -euo pipefail
root=${1:-"$(dirname "$0")/.."}
cd "$root"

# Widget headers: the toolkit's widget module and everything built on it, plus the class headers
# the installed module holds (found through pkg-config when it is there).
widget_classes="QWidget QDialog QMainWindow QApplication QLabel QSpinBox QCheckBox QLineEdit \
QPushButton QMessageBox QTreeWidget QTableView QStatusBar QMenu QMenuBar QAction QLayout \
QVBoxLayout QHBoxLayout QFormLayout QComboBox QStyle QSystemTrayIcon QProgressBar QScrollArea"
incdir=$(pkg-config --variable=includedir Qt6Widgets 2>/dev/null || true)
for dir in "$incdir/QtWidgets" "$incdir/qt6/QtWidgets" /usr/include/x86_64-linux-gnu/qt6/QtWidgets; do
    if [ -d "$dir" ]; then
        widget_classes="$widget_classes $(cd "$dir" && ls | grep -E '^Q[A-Za-z0-9]+$' | tr '\n' ' ')"
        break
    fi
done
declare -A is_widget=()
for class in $widget_classes; do
    is_widget[$class]=1
done

breaches=0
report() {
    echo "$1: includes $2 ($3)"
    breaches=$((breaches + 1))
}

# Prints "file:line:target" for every include of the given files.
includes_of() {
    [ $# -gt 0 ] || return 0
    grep -HnE '^[[:space:]]*#[[:space:]]*include[[:space:]]*[<"][^>"]+[>"]' "$@" |
        sed -E 's/^([^:]+:[0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*[<"]([^>"]+)[>"].*/\1:\2/' || true
}

model_files=()
for folder in core net; do
    [ -d "$folder" ] && while IFS= read -r f; do model_files+=("$f"); done \
        < <(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | sort)
done
[ -d grid ] && while IFS= read -r f; do model_files+=("$f"); done \
    < <(find grid -maxdepth 1 -type f \( -name '*.h' -o -name '*.cpp' \) | sort)

while IFS= read -r entry; do
    [ -n "$entry" ] || continue
    target=${entry##*:}
    where=${entry%:*}
    case "$target" in
    ui/* | desktop/* | messaging/* | grid/widgets/*)
        report "$where" "$target" "a model file reaches the windows' side" ;;
    QtWidgets | QtWidgets/* | QtCharts | QtCharts/* | qwidget.h)
        report "$where" "$target" "a widget header in a model file" ;;
    *)
        if [ -n "${is_widget[$target]:-}" ]; then
            report "$where" "$target" "a widget header in a model file"
        fi ;;
    esac
done < <(includes_of "${model_files[@]+"${model_files[@]}"}")

dialog_files=()
[ -d ui/dialogs ] && while IFS= read -r f; do dialog_files+=("$f"); done \
    < <(find ui/dialogs -type f \( -name '*.h' -o -name '*.cpp' \) | sort)
while IFS= read -r entry; do
    [ -n "$entry" ] || continue
    target=${entry##*:}
    if [ "$target" = "ui/main/main_form.h" ]; then
        report "${entry%:*}" "$target" "a dialog reaches into the main window"
    fi
done < <(includes_of "${dialog_files[@]+"${dialog_files[@]}"}")

# Window globals: every `extern T... * Name;` of a window under ui/. Only ui/main/ProgramStart.cpp
# and the window's own header and unit name it; comments and string texts do not count.
declare -A own_header=()
while IFS= read -r entry; do
    name=$(sed -E 's/^[^:]+:[0-9]+:extern T[A-Za-z0-9_]*[[:space:]]*\*[[:space:]]*([A-Za-z0-9_]+);.*/\1/' <<<"$entry")
    own_header[$name]=${entry%%:*}
done < <(grep -rnE '^extern T[A-Za-z0-9_]*[[:space:]]*\*[[:space:]]*[A-Za-z0-9_]+;' ui --include='*.h' || true)
window_files=()
for folder in ui app; do
    [ -d "$folder" ] && while IFS= read -r f; do window_files+=("$f"); done \
        < <(find "$folder" -type f \( -name '*.h' -o -name '*.cpp' -o -name '*.inc' \) | sort)
done
names_pattern=$(printf '%s\n' "${!own_header[@]}" | paste -sd'|')
if [ -n "$names_pattern" ]; then
    while IFS=: read -r f line name; do
        header=${own_header[$name]}
        [ "$f" = ui/main/ProgramStart.cpp ] || [ "$f" = "$header" ] || [ "$f" = "${header%.h}.cpp" ] && continue
        echo "$f:$line: names the window global $name (reach it through a role in the services)"
        breaches=$((breaches + 1))
    done < <(perl -ne 's#//.*$##; s/"(?:[^"\\]|\\.)*"/""/g;
                 print "$ARGV:$.:$1\n" while /(?<![A-Za-z0-9_])('"$names_pattern"')(?![A-Za-z0-9_])/g;
                 close ARGV if eof' "${window_files[@]}")
fi

if [ "$breaches" -gt 0 ]; then
    echo "include rule: $breaches breach(es)"
    exit 1
fi
echo "include rule: ok (${#model_files[@]} model files, ${#dialog_files[@]} dialog files, ${#own_header[@]} window globals)"
