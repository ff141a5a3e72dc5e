#!/bin/bash
# shelvix-tool writes reports with QtGui and QtPrintSupport and has no
# widgets: its own code needs no libQt6Widgets (QtPrintSupport loads that
# library for itself), and it links neither the forms nor Qt6::Widgets.
# Usage: tool_libraries.sh TOOL LINK-LIBRARIES (comma-separated)
set -u
tool=$1
links=$2
needed=$(readelf -d "$tool" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p')
if ! grep -q '^libQt6Core' <<<"$needed"; then
    echo "FAIL: could not read the libraries $tool needs (readelf -d)"
    exit 1
fi
status=0
if grep -q '^libQt6Widgets' <<<"$needed"; then
    echo "FAIL: $tool needs libQt6Widgets; its NEEDED entries:" $needed
    status=1
fi
IFS=, read -ra libs <<<"$links"
for lib in "${libs[@]}"; do
    case $lib in
    shelvix_forms | Qt6::Widgets | Qt::Widgets)
        echo "FAIL: shelvix-tool links $lib (its link libraries: $links)"
        status=1
        ;;
    esac
done
[ $status = 0 ] && echo "shelvix-tool needs:" $needed
exit $status
