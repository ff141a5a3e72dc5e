#!/usr/bin/env bash
# Makes the seed corpora under fuzz/corpus/, one folder per target, from the
# dBASE fixtures, the earlier versions' sample tables, the default lists and
# files the program writes itself.
#   fuzz/make-corpus.sh BUILD_DIR [FIXTURES_DIR]
# BUILD_DIR is a normal build (shelvix-tool and fuzz/fuzz_seeds).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:?build dir}
fixtures=${2:-tests/data}
out=fuzz/corpus
tool=$build/shelvix-tool
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

pair() { # DBF OUT [PREFIX]
    /usr/bin/python3 fuzz/pair-files.py "$@"
}

rm -rf "$out"
mkdir -p "$out"/{table,settings,datalist,reports,import_text,import_dbf,convert}

# Tables: other tools', the earlier versions', and a few generated books.
"$tool" generate 6 "$scratch/BOOKS.DBF" --seed 7 >/dev/null
"$tool" export "$scratch/BOOKS.DBF" "$scratch/SMALL.DBF" --fields Title,Author,Cost,PurchDate >/dev/null
for dbf in "$fixtures"/*/*.DBF tests/data/*.DBF "$scratch/BOOKS.DBF"; do
    name=$(basename "${dbf%.*}")
    # A fixture copied into tests/data alone keeps the fixture's pair.
    [ -e "$out/table/$name" ] || pair "$dbf" "$out/table/$name"
done
# An import reads its source without the index, with its memo file.
for dbf in "$fixtures"/*/*.DBF tests/data/MEMO*.DBF "$scratch/SMALL.DBF"; do
    pair "$dbf" "$out/import_dbf/$(basename "${dbf%.*}")" "" .DBT
done
pair tests/data/B2LOG.DBF "$out/convert/B2LOG" 0
pair tests/data/BLOG.DBF "$out/convert/BLOG" 1

# Delimited text: the program's own export and another tool's.
"$tool" export "$scratch/BOOKS.DBF" "$out/import_text/books.txt" \
    --fields Title,Author,YearPub,Cost,PurchDate,Descriptio >/dev/null
cp "$fixtures"/independent/books_small.txt "$out/import_text/"
printf '"Title","Author"\r\n"A ""quoted"" title","Smith, J."\r\n"Two\r\nlines",""\r\n\x1a' \
    >"$out/import_text/quoted.txt"

# Lists, settings and report definitions.
for f in data/lists/*.LST; do
    [ -s "$f" ] && cp "$f" "$out/datalist/"
done
printf 'Paperback\r\n  Hardcover  \r\n\r\n%s\r\n' "$(printf 'x%.0s' {1..300})" >"$out/datalist/odd.lst"
"$build/fuzz/fuzz_seeds" "$out"
echo "corpora in $out:"
du -sh "$out"/*
