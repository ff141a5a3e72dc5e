#!/bin/bash
# shelvix-tool starts on QtCore alone, and its report command runs in the
# companion shelvix-report, which adds QtGui; neither loads QtWidgets, nor
# QtPrintSupport (which loads QtWidgets for itself). Checked on what the
# dynamic linker really loads: the libraries each program pulls in (ldd),
# and those loaded while `info` and a report to PDF run (LD_DEBUG=libs, which
# follows the tool into the companion). Neither links the forms or Widgets.
# Usage: tool_libraries.sh TOOL COMPANION LINK-LIBRARIES (comma-separated)
set -u
tool=$1
companion=$2
links=$3
status=0
fail() {
    echo "FAIL: $*"
    status=1
}

# The Qt libraries in a list of paths or names, one a line.
qt_of() { grep -o 'libQt6[A-Za-z]*' | sort -u; }

loaded_tool=$(ldd "$tool" | qt_of)
loaded_companion=$(ldd "$companion" | qt_of)
grep -qx libQt6Core <<<"$loaded_tool" || fail "ldd did not list QtCore for $tool"
for lib in libQt6Gui libQt6Widgets libQt6PrintSupport; do
    grep -qx $lib <<<"$loaded_tool" && fail "$tool loads $lib:" $loaded_tool
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
grep -qx libQt6Core <<<"$info" || fail "LD_DEBUG saw no QtCore opened by info"
grep -qx libQt6Gui <<<"$info" && fail "info opens QtGui:" $info
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
[ $status = 0 ] && echo "shelvix-tool loads:" $info "; a report to PDF:" $report
exit $status
