#!/usr/bin/env bash
# Times building a sort tag over a million 80-byte keys against SQLite's
# CREATE INDEX over the same number of 80-byte keys, in the same run.
#   bench/mdx_vs_sqlite.sh [build-dir]
set -euo pipefail
build=${1:-build}
bench="$build/bench/bench_mdx"
[ -x "$bench" ] || { echo "build $bench first" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sqlite3 "$work/books.db" <<SQL >/dev/null
CREATE TABLE books(k TEXT);
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000000)
INSERT INTO books SELECT printf('%-80s',
  CASE abs(random()) % 6 WHEN 0 THEN 'TOLKIEN' WHEN 1 THEN 'AUSTEN' WHEN 2 THEN 'ASIMOV'
       WHEN 3 THEN 'ZOLA' WHEN 4 THEN 'MCDONALD' ELSE 'LE GUIN' END
  || ', ' || substr(hex(randomblob(8)), 1, 1 + abs(random()) % 12)) FROM n;
SQL
start=$(date +%s%N)
sqlite3 "$work/books.db" "CREATE INDEX byauthor ON books(k);"
end=$(date +%s%N)

# CSV columns: name,iterations,real_time,cpu_time,time_unit,...
ours=$("$bench" --benchmark_filter='BM_BuildTag/1000000' --benchmark_format=csv 2>/dev/null |
       awk -F, '/BM_BuildTag/ {print $3}')
printf "SQLite CREATE INDEX, 1000000 keys of 80 bytes: %6d ms\n" $(( (end - start) / 1000000 ))
printf "MDX buildTag, 1000000 keys of 80 bytes:        %6.0f ms\n" "$ours"
