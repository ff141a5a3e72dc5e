#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks what a desktop needs:
# both programs, the help where the program looks for it, the default lists,
# the icon in the hicolor theme, a menu entry that desktop-file-validate
# accepts and that starts the installed program on a dBASE file, the AppStream
# metainfo, and both manual pages. A staged install (DESTDIR) must name the
# final path, not the staging directory.
# Usage: install_test.sh BUILD_DIR
set -euo pipefail
build=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

fail() {
    echo "FAIL: $*" >&2
    exit 1
}
entry_value() { # FILE KEY
    sed -n "s/^$2=//p" "$1" | head -n 1
}
png_size() { # the width and height in the PNG header
    od -An -tu1 -j16 -N8 "$1" | awk '{ print $3 * 256 + $4 "x" $7 * 256 + $8 }'
}

prefix=$scratch/prefix
cmake --install "$build" --prefix "$prefix" >"$scratch/install.log" || {
    cat "$scratch/install.log" >&2
    fail "cmake --install"
}

for f in bin/shelvix bin/shelvix-tool; do
    [ -x "$prefix/$f" ] || fail "$f is not installed"
done
for f in share/shelvix-books/help/contents.html share/icons/hicolor/scalable/apps/shelvix-books.svg \
    share/doc/shelvix-books/README.md; do
    [ -s "$prefix/$f" ] || fail "$f is not installed"
done
for list in AUTHOR LOCATION BOUGHT CATEGORY PUBLISH RATING BOOKTYPE CHECKOUT CONDITION; do
    [ -f "$prefix/share/shelvix-books/lists/$list.LST" ] || fail "$list.LST is not installed"
done
# The program looks for its help in ../share/shelvix-books/help beside itself.
[ -s "$prefix/bin/../share/shelvix-books/help/contents.html" ] || fail "help not beside bin"

desktop=$prefix/share/applications/shelvix-books.desktop
[ -f "$desktop" ] || fail "no menu entry"
desktop-file-validate "$desktop" || fail "desktop-file-validate rejects the entry"
exec_line=$(entry_value "$desktop" Exec)
[ "$exec_line" = "$prefix/bin/shelvix %f" ] || fail "Exec is '$exec_line'"
[ "$(entry_value "$desktop" TryExec)" = "$prefix/bin/shelvix" ] || fail "TryExec is not the program"
mime=$(entry_value "$desktop" MimeType)
for type in application/x-dbf application/dbf; do
    [[ ";$mime" == *";$type;"* ]] || fail "MimeType '$mime' lacks $type"
done
icon=$(entry_value "$desktop" Icon)
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no icon named '$icon'"
for size in 16 32 48 64 128 256; do
    png=$prefix/share/icons/hicolor/${size}x$size/apps/$icon.png
    [ "$(png_size "$png")" = "${size}x$size" ] || fail "$png is $(png_size "$png"), not $size px"
done

# What software centres read: valid offline, naming this menu entry, the
# programs and the version the program reports.
metainfo=$prefix/share/metainfo/org.shelvix.books.metainfo.xml
[ -f "$metainfo" ] || fail "no metainfo"
appstreamcli validate --no-net "$metainfo" || fail "appstreamcli rejects the metainfo"
appstreamcli validate-tree --no-net "$prefix" || fail "appstreamcli rejects the installed tree"
grep -q '<launchable type="desktop-id">shelvix-books.desktop</launchable>' "$metainfo" ||
    fail "the metainfo does not launch shelvix-books.desktop"
version=$("$prefix/bin/shelvix" --version | sed -n 's/^shelvix (.*) //p')
[ -n "$version" ] || fail "installed shelvix --version"
grep -q "<release version=\"$version\"" "$metainfo" || fail "no release $version in the metainfo"

# Both manual pages render without a warning, carry a NAME line that whatis
# reads, and tell every command of the companion.
for page in shelvix shelvix-tool; do
    file=$prefix/share/man/man1/$page.1
    [ -s "$file" ] || fail "man page $page(1) is not installed"
    lexgrog "$file" | grep -q "\"$page - " || fail "lexgrog finds no NAME in $page(1)"
    warnings=$(MANWIDTH=80 man --warnings -l "$file" 2>&1 >/dev/null)
    [ -z "$warnings" ] || fail "$page(1): $warnings"
    MANWIDTH=80 man -l "$file" 2>/dev/null | grep -q "$version" || fail "$page(1) lacks the version"
done
for command in $("$prefix/bin/shelvix-tool" --help | sed -n 's/^  \([a-z][a-z]*\) .*/\1/p'); do
    MANWIDTH=200 man -l "$prefix/share/man/man1/shelvix-tool.1" 2>/dev/null |
        grep -q "^   $command " || fail "shelvix-tool(1) does not tell $command"
done

# The installed companion runs on its own.
"$prefix/bin/shelvix-tool" create "$scratch/T.DBF" >/dev/null || fail "installed shelvix-tool"
"$prefix/bin/shelvix-tool" info "$scratch/T.DBF" | grep -q TITLE || fail "installed shelvix-tool info"
# Its report command runs in shelvix-report, found under libexec.
[ -x "$prefix/libexec/shelvix-books/shelvix-report" ] || fail "shelvix-report is not installed"
"$prefix/bin/shelvix-tool" generate 5 "$scratch/T.DBF" >/dev/null || fail "installed generate"
QT_QPA_PLATFORM=offscreen "$prefix/bin/shelvix-tool" report "$scratch/T.DBF" \
    --name "Short Narrow Report" --pdf "$scratch/T.pdf" >"$scratch/report.log" 2>&1 ||
    fail "installed shelvix-tool report: $(cat "$scratch/report.log")"
[ "$(head -c 5 "$scratch/T.pdf")" = "%PDF-" ] || fail "the installed report wrote no PDF"

# Packagers stage with DESTDIR; the entry must name where the program will be.
DESTDIR=$scratch/stage cmake --install "$build" --prefix /opt/shelvix >"$scratch/stage.log" ||
    fail "staged install"
staged=$scratch/stage/opt/shelvix/share/applications/shelvix-books.desktop
[ -f "$staged" ] || fail "no staged menu entry"
[ "$(entry_value "$staged" Exec)" = "/opt/shelvix/bin/shelvix %f" ] ||
    fail "staged Exec is '$(entry_value "$staged" Exec)'"
[ -x "$scratch/stage/opt/shelvix/bin/shelvix" ] || fail "staged program missing"
echo "installed and validated"
