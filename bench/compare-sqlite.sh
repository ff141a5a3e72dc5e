#!/usr/bin/env bash
# Generates a catalogue once, loads the same books into SQLite, and prints our
# figures beside SQLite's (or `cat`'s) with their ratios, warm caches.
#   bench/compare-sqlite.sh [N] [DIR]     (default 1000000 books in build-bench/data)
#
# SQLite: BOOKS.sqlite keeps the default rollback journal, BOOKS-wal.sqlite is
# the same database in WAL mode; both synchronous=FULL unless a row says
# otherwise. Rows named "tool" time whole processes (`shelvix-tool` against the
# `sqlite3` shell), in alternating pairs, the median of 7; the others come from
# the Google benchmarks in bench/, in process.
set -euo pipefail
cd "$(dirname "$0")/.."
n=${1:-1000000}
dir=${2:-build-bench/data}
build=${SHELVIX_BENCH_BUILD_DIR:-build-bench}

scripts/install-deps
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DSHELVIX_WERROR=OFF -DSHELVIX_TESTS=OFF >/dev/null
cmake --build "$build" --target shelvix-tool shelvix-report bench_catalogue bench_search \
    bench_transfer bench_locate bench_reports bench_launch >/dev/null

mkdir -p "$dir"
dir=$(cd "$dir" && pwd)
tool="$build/shelvix-tool"
if [ ! -f "$dir/BOOKS.DBF" ] || [ "$(cat "$dir/N" 2>/dev/null)" != "$n" ]; then
    rm -f "$dir"/BOOKS.* "$dir"/BOOKS-wal.* "$dir"/*.csv "$dir"/books100k.txt
    echo "generating $n books ..." >&2
    "$tool" generate "$n" "$dir/BOOKS.DBF" --seed 7 >/dev/null
    "$tool" index "$dir/BOOKS.DBF" --tag Year --expr YearPub >/dev/null
    echo "loading them into SQLite ..." >&2
    "$tool" dump "$dir/BOOKS.DBF" >"$dir/books.csv"
    # 100,000 books as the program exports them, for both imports.
    "$tool" generate 100000 "$dir/SRC100K.DBF" --seed 8 >/dev/null
    "$tool" export "$dir/SRC100K.DBF" "$dir/books100k.txt" >/dev/null
    rm -f "$dir"/SRC100K.*
    cols=$(head -1 "$dir/books.csv" | tr 'A-Z' 'a-z')
    echo "$cols" >"$dir/columns"
    sqlite3 "$dir/BOOKS.sqlite" >/dev/null <<SQL
CREATE TABLE books($cols);
.mode csv
.import --skip 1 $dir/books.csv books
CREATE INDEX by_year ON books(yearpub);
SQL
    cp "$dir/BOOKS.sqlite" "$dir/BOOKS-wal.sqlite"
    sqlite3 "$dir/BOOKS-wal.sqlite" "PRAGMA journal_mode=WAL;" >/dev/null
    echo "$n" >"$dir/N"
fi

# A small catalogue for the tool's start-up alone.
[ -f "$dir/SMALL.DBF" ] || "$tool" generate 1000 "$dir/SMALL.DBF" --seed 9 >/dev/null

# The inserts work on copies: they leave deleted records behind in ours (SQLite
# deletes its rows), and every other row, here and in the next run, works on
# the catalogue as generated. Synced first, so no insert's sync waits for the
# copies to reach the disk.
for b in catalogue search transfer locate; do
    SHELVIX_BENCH_DIR="$dir" "$build/bench/bench_$b" --benchmark_filter=-Insert \
        --benchmark_format=json \
        --benchmark_out="$dir/results-$b.json" --benchmark_out_format=json >/dev/null
done
ins=$(mktemp -d "$dir/insert.XXXXXX")
cp "$dir/BOOKS.DBF" "$dir/BOOKS.MDX" "$dir/BOOKS.sqlite" "$dir/BOOKS-wal.sqlite" "$ins/"
sync
SHELVIX_BENCH_DIR="$ins" "$build/bench/bench_catalogue" --benchmark_filter=Insert \
    --benchmark_format=json \
    --benchmark_out="$dir/results-insert.json" --benchmark_out_format=json >/dev/null
rm -rf "$ins"
"$build/bench/bench_reports" --benchmark_filter='BM_DirectPdf/1000' --benchmark_format=json \
    --benchmark_out="$dir/results-reports.json" --benchmark_out_format=json >/dev/null
# The program started on the catalogue until its grid has painted (a scratch
# --home, so the first launch that seeds it is not timed).
SHELVIX_BENCH_DIR="$dir" "$build/bench/bench_launch" --benchmark_format=json \
    --benchmark_out="$dir/results-launch.json" --benchmark_out_format=json >/dev/null

/usr/bin/python3 - "$dir" "$n" "$tool" <<'PY'
import json, os, shutil, statistics, subprocess, sys, tempfile, time
d, n, tool = sys.argv[1], int(sys.argv[2]), os.path.abspath(sys.argv[3])
runs = {}
for f in os.listdir(d):
    if f.startswith("results-") and f.endswith(".json"):
        for b in json.load(open(os.path.join(d, f)))["benchmarks"]:
            runs[b["name"].split("/")[0]] = b
def bench(name):
    b = runs[name]
    return b["real_time"] * {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1000.0}[b["time_unit"]]

def run(cmd, setup=None):
    if setup:
        setup()
    t = time.perf_counter()
    subprocess.run(cmd, shell=True, check=True, stdout=subprocess.DEVNULL)
    return (time.perf_counter() - t) * 1000

def pair(ours, theirs, setup_ours=None, setup_theirs=None, times=7):
    """Median milliseconds of each command, run in alternating pairs."""
    a, b = [], []
    for _ in range(times):
        a.append(run(ours, setup_ours))
        b.append(run(theirs, setup_theirs))
    return statistics.median(a), statistics.median(b)

q = lambda p: "'" + p + "'"
dbf, lite, wal = (os.path.join(d, x) for x in ("BOOKS.DBF", "BOOKS.sqlite", "BOOKS-wal.sqlite"))
cols = open(os.path.join(d, "columns")).read().strip()
work = tempfile.mkdtemp(dir=d)
rows = []

# 1. A search on a field that leads a tag, counted.
o, s = pair(f"{tool} search {q(dbf)} --level 'YearPub = 1999' --count",
            f"sqlite3 {q(lite)} \"SELECT count(*) FROM books WHERE yearpub = '1999'\"")
rows.append(("tool: search YearPub = 1999 --count (tag on YearPub)", o, s, "SQLite", "<= 1.0"))

# 2. Two levels, the first on text: a full scan, beside cat of the file.
two = ("--level 'Author contains smith' --level 'YearPub between 1990 and 2000; Cost < 20'")
o, s = pair(f"{tool} search {q(dbf)} {two} --count",
            f"sqlite3 {q(lite)} \"SELECT count(*) FROM books WHERE instr(upper(author),'SMITH') > 0"
            " OR (CAST(yearpub AS REAL) > 1990 AND CAST(yearpub AS REAL) < 2000"
            " AND CAST(cost AS REAL) < 20)\"")
_, c = pair(f"{tool} search {q(dbf)} {two} --count", f"cat {q(dbf)}")
rows.append(("tool: 2-level search count, full scan", o, s, "SQLite", ""))
rows.append(("tool: 2-level search count, full scan", o, c, "cat", "<= 1.2"))

# 3. Locate by seek, in process.
rows.append(("locate by seek (bench_locate)", bench("BM_Ours_LocateBySeek"),
             bench("BM_Sqlite_LocateBySeek"), "SQLite", "ours <= 0.05 ms"))

# 4. 100,000 books of text into a table with the author tag.
t100 = os.path.join(work, "T100.DBF")
l100 = os.path.join(work, "t100.sqlite")
csv100 = os.path.join(d, "books100k.txt")
# The columns of the exported text, as its first line names them.
cols100 = open(csv100, encoding="latin-1").readline().strip().lower()
def fresh_ours():
    for f in os.listdir(work):
        if f.upper().startswith("T100."):
            os.remove(os.path.join(work, f))
    subprocess.run(f"{tool} create {q(t100)} && {tool} index {q(t100)} --tag NewIndex "
                   f"--expr 'UPPER(LEFT(AUTHOR,80))'", shell=True, check=True,
                   stdout=subprocess.DEVNULL)
    subprocess.run("sync", shell=True)
def fresh_theirs():
    if os.path.exists(l100):
        os.remove(l100)
    subprocess.run(["sqlite3", l100], check=True, text=True,
                   input=f"CREATE TABLE books({cols100}); CREATE INDEX by_author ON "
                         "books(upper(substr(author,1,80)));")
    subprocess.run("sync", shell=True)
o, s = pair(f"{tool} import {q(t100)} {q(csv100)} --skip-first",
            f"sqlite3 {q(l100)} \".import --csv --skip 1 {csv100} books\"",
            fresh_ours, fresh_theirs, times=3)
rows.append(("tool: import 100k books of text, author tag", o, s, "SQLite", "<= 1.0"))

# 5. All the books of text into a table without a tag, in process.
rows.append((f"import {n:,} books of text, no tag (bench_transfer)",
             bench("BM_Ours_ImportDelimited"), bench("BM_Sqlite_ImportCsv"), "SQLite", "<= 1.0"))

# 6. Pack against VACUUM, each on a fresh copy.
pdbf, plite = os.path.join(work, "P.DBF"), os.path.join(work, "p.sqlite")
def copy_ours():
    shutil.copy(dbf, pdbf)
    shutil.copy(os.path.join(d, "BOOKS.MDX"), os.path.join(work, "P.MDX"))
    subprocess.run("sync", shell=True)
def copy_theirs():
    shutil.copy(lite, plite)
    subprocess.run("sync", shell=True)
o, s = pair(f"{tool} pack {q(pdbf)}", f"sqlite3 {q(plite)} VACUUM", copy_ours, copy_theirs, 3)
rows.append(("tool: pack vs VACUUM", o, s, "SQLite", "<= 1.0"))

# 7. Start, open, the first 40 rows in the author order.
o, s = pair(f"{tool} dump {q(dbf)} --tag NewIndex | head -n 41",
            f"sqlite3 {q(lite)} \"SELECT * FROM books ORDER BY upper(substr(author,1,80)) "
            "LIMIT 40\"")
rows.append(("tool: start + open + first 40 rows", o, s, "SQLite", "<= 1.5"))
o, s = pair(f"{tool} info {q(dbf)}", f"sqlite3 {q(lite)} \"SELECT count(*) FROM books\"")
rows.append(("tool: info (start, open, count the deleted)", o, s, "SQLite", ""))
small = os.path.join(d, "SMALL.DBF")
o, _ = pair(f"{tool} info {q(small)}", "true", times=15)
rows.append(("tool: info on 1,000 books (the start, < 10 ms)", o, _, "true", ""))

# 8. One durable insert with its tag, in process.
ins = bench("BM_Ours_InsertOneWithTag")
rows.append(("one durable insert with its tag", ins, bench("BM_Sqlite_InsertOneWithIndex"),
             "rollback", ""))
rows.append(("one durable insert with its tag", ins, bench("BM_Sqlite_InsertOneWithIndexWal"),
             "WAL", "<= 1.0"))
rows.append(("one insert with its tag, unsynced", bench("BM_Ours_InsertOneWithTagUnsynced"),
             bench("BM_Sqlite_InsertOneWithIndexSynchronousOff"), "sync=OFF", ""))

shutil.rmtree(work)

print(f"{n:,} books; times in ms, warm caches")
print(f"{'work':<52}{'ours':>10}{'other':>10}{'':>10}{'ratio':>8}  goal")
for label, o, s, other, goal in rows:
    print(f"{label:<52}{o:>10.3f}{s:>10.3f}{other:>10}{o / s:>8.2f}  {goal}")
pdf = runs.get("BM_DirectPdf")
if pdf:
    print(f"{'report to PDF, pages/s (bench_reports, item 6)':<52}{pdf['pages/s']:>10.0f}"
          f"{'':>28}  >= 400")
launch = runs.get("BM_LaunchToPaintedGrid")
if launch:
    print(f"{'GUI launch to painted grid, ms (bench_launch)':<52}{bench('BM_LaunchToPaintedGrid'):>10.0f}"
          f"{'':>28}  <= 300")
    print(f"{'GUI peak resident memory by then, MB':<52}{launch['peak RSS MB']:>10.1f}"
          f"{'':>28}  <= 64")

print("\nin process (Google benchmarks)")
for label, ours, theirs in [
        ("open table and index", "BM_Ours_OpenTableAndIndex", None),
        ("first 40 rows in tag order", "BM_Ours_First40RowsInTagOrder",
         "BM_Sqlite_First40RowsInIndexOrder"),
        ("build Upper(Left(Author,80)), synced", "BM_Ours_BuildAuthorTag", "BM_Sqlite_CreateIndex"),
        ("search: Title contains war, count", "BM_Ours_CountTitlesWithWar",
         "BM_Sqlite_CountTitlesWithWar"),
        ("search: two levels, count", "BM_Ours_SearchTwoLevels", "BM_Sqlite_SearchTwoLevels"),
        ("search in force: first screen + count", "BM_Ours_SearchInForceFirstScreen", None),
        ("export 36 fields as delimited text", "BM_Ours_ExportDelimited", "BM_Sqlite_ExportCsv"),
        ("locate a value near the end, scan", "BM_Ours_LocateByScan", "BM_Sqlite_LocateByScan"),
        ("replace 1 % of the records, one sync", "BM_Ours_Replace1Percent",
         "BM_Sqlite_Replace1Percent")]:
    o = bench(ours)
    if theirs:
        s = bench(theirs)
        print(f"{label:<52}{o:>10.3f}{s:>10.3f}{'SQLite':>10}{o / s:>8.2f}")
    else:
        print(f"{label:<52}{o:>10.3f}")
print(f"{'heap during a full scan in tag order (MB)':<52}"
      f"{runs['BM_Ours_FullScanHeap']['peak_heap_MB']:>10.2f}")
for label, name in [("heap during the export (MB)", "BM_Ours_ExportDelimited"),
                    ("heap during the import (MB)", "BM_Ours_ImportDelimited")]:
    print(f"{label:<52}{runs[name]['peak_heap_MB']:>10.2f}")
for label, ours, theirs in [("matches: Title contains war", "BM_Ours_SearchTitleWar",
                             "BM_Sqlite_SearchTitleWar"),
                            ("matches: two levels", "BM_Ours_SearchTwoLevels",
                             "BM_Sqlite_SearchTwoLevels"),
                            ("records counted with WAR", "BM_Ours_CountTitlesWithWar",
                             "BM_Sqlite_CountTitlesWithWar"),
                            ("records changed by the replace", "BM_Ours_Replace1Percent",
                             "BM_Sqlite_Replace1Percent")]:
    key = "changed" if "Replace" in ours else "count"
    print(f"{label:<52}{runs[ours][key]:>10.0f}{runs[theirs][key]:>10.0f}")
PY
