#!/bin/bash
# shelvix-tool loads no Qt: `info` and `dump` run on the engine alone, and
# every other command in shelvix-commands, which starts on QtCore; a report
# runs in shelvix-report, which adds QtGui. None loads QtWidgets, nor
# QtPrintSupport (which loads QtWidgets for itself). Checked on what the
# dynamic linker really loads: the libraries each program pulls in (ldd),
# and those loaded while `info`, `check` and a report to PDF run
# (LD_DEBUG=libs, which follows the tool into its companions). None links
# the forms or Widgets.
# Usage: tool_libraries.sh TOOL COMMANDS COMPANION LINK-LIBRARIES (comma-separated)
set -u
tool=$1
commands=$2
companion=$3
links=$4
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

# The Qt libraries in a list of paths or names, one a line.
qt_of() { grep -o 'libQt6[A-Za-z]*' | sort -u; }

loaded_tool=$(ldd "$tool" | qt_of)
loaded_commands=$(ldd "$commands" | qt_of)
loaded_companion=$(ldd "$companion" | qt_of)
[ -z "$loaded_tool" ] || fail "$tool loads Qt:" $loaded_tool
grep -qx libQt6Core <<<"$loaded_commands" || fail "ldd did not list QtCore for $commands"
for lib in libQt6Gui libQt6Widgets libQt6PrintSupport; do
    grep -qx $lib <<<"$loaded_commands" && fail "$commands loads $lib:" $loaded_commands
done
grep -qx libQt6Gui <<<"$loaded_companion" || fail "ldd did not list QtGui for $companion"
for lib in libQt6Widgets libQt6PrintSupport; do
    grep -qx $lib <<<"$loaded_companion" && fail "$companion loads $lib:" $loaded_companion
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
"$tool" generate 30 "$scratch/BOOKS.DBF" >/dev/null || fail "could not make a catalogue"
# What the dynamic linker opened while a command ran, plugins included.
opened() {
    LD_DEBUG=libs LD_DEBUG_OUTPUT="$scratch/ld" QT_QPA_PLATFORM=offscreen "$tool" "$@" \
        >"$scratch/out" 2>&1 || fail "$tool $*: $(cat "$scratch/out")"
    cat "$scratch"/ld.* | sed -n 's/.*calling init: //p' | qt_of
    rm -f "$scratch"/ld.*
}
info=$(opened info "$scratch/BOOKS.DBF")
[ -z "$info" ] || fail "info opens Qt:" $info
check=$(opened check "$scratch/BOOKS.DBF")
grep -qx libQt6Core <<<"$check" || fail "LD_DEBUG saw no QtCore opened by check"
grep -qx libQt6Gui <<<"$check" && fail "check opens QtGui:" $check
report=$(opened report "$scratch/BOOKS.DBF" --name "Short Narrow Report" --pdf "$scratch/r.pdf")
grep -qx libQt6Gui <<<"$report" || fail "the report to PDF ran without QtGui:" $report
for lib in libQt6Widgets libQt6PrintSupport; do
    grep -qx $lib <<<"$report" && fail "a report to PDF opens $lib:" $report
done
[ -s "$scratch/r.pdf" ] || fail "the report wrote no PDF"

IFS=, read -ra libs <<<"$links"
for lib in "${libs[@]}"; do
    case $lib in
    shelvix_forms | shelvix_paint | Qt6::Widgets | Qt::Widgets | Qt6::Gui | Qt6::PrintSupport)
        fail "shelvix-tool links $lib (its link libraries: $links)"
        ;;
    esac
done
[ $status = 0 ] && echo "info loads: ${info:-no Qt}; check:" $check "; a report to PDF:" $report
exit $status
