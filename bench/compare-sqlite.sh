#!/usr/bin/env bash
# Generates a catalogue once, loads the same books into SQLite, and prints each
# figure of ours beside SQLite's with their ratio.
#   bench/compare-sqlite.sh [N] [DIR]     (default 1000000 books in build-bench/data)
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-1000000}
dir=${2:-build-bench/data}
build=${SHELVIX_BENCH_BUILD_DIR:-build-bench}

scripts/install-deps
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSHELVIX_WERROR=OFF -DSHELVIX_TESTS=OFF >/dev/null
cmake --build "$build" --target shelvix-tool bench_catalogue bench_search bench_transfer bench_locate >/dev/null

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
if [ ! -f "$dir/BOOKS.DBF" ] || [ "$(cat "$dir/N" 2>/dev/null)" != "$n" ]; then
    rm -f "$dir"/BOOKS.*
    echo "generating $n books ..." >&2
    "$build/shelvix-tool" generate "$n" "$dir/BOOKS.DBF" --seed 7 >/dev/null
    echo "loading them into SQLite ..." >&2
    "$build/shelvix-tool" dump "$dir/BOOKS.DBF" >"$dir/books.csv"
    cols=$(head -1 "$dir/books.csv" | tr 'A-Z' 'a-z')
    sqlite3 "$dir/BOOKS.sqlite" >/dev/null <<SQL
PRAGMA journal_mode=WAL;
CREATE TABLE books($cols);
.mode csv
.import --skip 1 $dir/books.csv books
SQL
    rm -f "$dir/books.csv"
    echo "$n" >"$dir/N"
fi

SHELVIX_BENCH_DIR="$dir" "$build/bench/bench_catalogue" --benchmark_format=json \
    --benchmark_out="$dir/results.json" --benchmark_out_format=json >/dev/null
SHELVIX_BENCH_DIR="$dir" "$build/bench/bench_search" --benchmark_format=json \
    --benchmark_out="$dir/results-search.json" --benchmark_out_format=json >/dev/null
SHELVIX_BENCH_DIR="$dir" "$build/bench/bench_transfer" --benchmark_format=json \
    --benchmark_out="$dir/transfer.json" --benchmark_out_format=json >/dev/null
SHELVIX_BENCH_DIR="$dir" "$build/bench/bench_locate" --benchmark_format=json \
    --benchmark_out="$dir/results-locate.json" --benchmark_out_format=json >/dev/null

/usr/bin/python3 - "$dir/results.json" "$n" "$dir/results-search.json" "$dir/transfer.json" "$dir/results-locate.json" <<'PY'
import json, sys
runs = {b["name"].split("/")[0]: b for f in (sys.argv[1], *sys.argv[3:])
        for b in json.load(open(f))["benchmarks"]}
def t(name):
    b = runs[name]
    scale = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}[b["time_unit"]]
    return b["real_time"] * scale
print(f"{int(sys.argv[2]):,} books")
print(f"{'measure':<44}{'ours':>12}{'SQLite':>12}{'ratio':>8}{'target':>16}")
rows = [
    ("open table and index (ms)", "BM_Ours_OpenTableAndIndex", None, "<= 50 ms"),
    ("first 40 rows in tag order (ms)", "BM_Ours_First40RowsInTagOrder",
     "BM_Sqlite_First40RowsInIndexOrder", "<= 10 ms"),
    ("build Upper(Left(Author,80)) (ms)", "BM_Ours_BuildAuthorTag", "BM_Sqlite_CreateIndex",
     "ratio <= 1"),
    ("count titles containing WAR (ms)", "BM_Ours_CountTitlesWithWar",
     "BM_Sqlite_CountTitlesWithWar", "ratio <= 1"),
    ("search: Title contains war, count (ms)", "BM_Ours_SearchTitleWar",
     "BM_Sqlite_SearchTitleWar", "ratio <= 1"),
    ("search: two levels, count (ms)", "BM_Ours_SearchTwoLevels", "BM_Sqlite_SearchTwoLevels",
     "ratio <= 1"),
    ("search in force: first screen + count (ms)", "BM_Ours_SearchInForceFirstScreen", None,
     "<= 1000 ms"),
    # Like with like: durable against SQLite's default (synced at commit),
    # unsynced (bulk work) against synchronous=OFF.
    ("insert one record, tag kept, durable (ms)", "BM_Ours_InsertOneWithTag",
     "BM_Sqlite_InsertOneWithIndex", "disk-bound"),
    ("insert one record, tag kept, unsynced (ms)", "BM_Ours_InsertOneWithTagUnsynced",
     "BM_Sqlite_InsertOneWithIndexSynchronousOff", "<= 1 ms"),
    ("export 36 fields as delimited text (ms)", "BM_Ours_ExportDelimited",
     "BM_Sqlite_ExportCsv", "ratio <= 1"),
    ("import that file into a new table (ms)", "BM_Ours_ImportDelimited",
     "BM_Sqlite_ImportCsv", "ratio <= 1"),
    ("locate a value near the end, scan (ms)", "BM_Ours_LocateByScan",
     "BM_Sqlite_LocateByScan", "beside SQLite"),
    ("locate a value near the end, seek (ms)", "BM_Ours_LocateBySeek",
     "BM_Sqlite_LocateBySeek", "<= 10 ms"),
    ("replace 1 % of the records, one sync (ms)", "BM_Ours_Replace1Percent",
     "BM_Sqlite_Replace1Percent", "ratio <= 1"),
]
for label, ours, theirs, target in rows:
    o = t(ours)
    if theirs:
        s = t(theirs)
        print(f"{label:<44}{o:>12.3f}{s:>12.3f}{o / s:>8.2f}{target:>16}")
    else:
        print(f"{label:<44}{o:>12.3f}{'':>12}{'':>8}{target:>16}")
scan = runs["BM_Ours_FullScanHeap"]
print(f"{'heap during a full scan in tag order (MB)':<44}{scan['peak_heap_MB']:>12.2f}"
      f"{'':>12}{'':>8}{'<= 64 MB':>16}")
for label, ours, theirs in [("search matches: Title contains war", "BM_Ours_SearchTitleWar",
                             "BM_Sqlite_SearchTitleWar"),
                            ("search matches: two levels", "BM_Ours_SearchTwoLevels",
                             "BM_Sqlite_SearchTwoLevels")]:
    print(f"{label:<44}{runs[ours]['count']:>12.0f}{runs[theirs]['count']:>12.0f}")
for label, name in [("heap during the export (MB)", "BM_Ours_ExportDelimited"),
                    ("heap during the import (MB)", "BM_Ours_ImportDelimited")]:
    print(f"{label:<44}{runs[name]['peak_heap_MB']:>12.2f}{'':>12}{'':>8}{'flat':>16}")
print(f"{'records changed by the replace':<44}{runs['BM_Ours_Replace1Percent']['changed']:>12.0f}"
      f"{runs['BM_Sqlite_Replace1Percent']['changed']:>12.0f}")
print(f"{'records counted with WAR':<44}{runs['BM_Ours_CountTitlesWithWar']['count']:>12.0f}"
      f"{runs['BM_Sqlite_CountTitlesWithWar']['count']:>12.0f}")
PY
