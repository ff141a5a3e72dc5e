#!/usr/bin/env bash
# Several programs at once on one catalogue: the window's post (its logic in
# a process of its own), an import, a replace and a restore, each started
# after a random delay, with a reader checking the table beside them.
#
#   tests/trials/two-process-trials.sh TOOL POSTER ROUNDS [BOOKS]
#
# POSTER is trial_window_poster. A round fails when
# - a book any of them reported as stored is missing, unless a restore that
#   succeeded replaced the table that holds it (it is found there);
# - a post returned into a table another program had already replaced;
# - the table a restore replaced was written after the restore had ended;
# - a book is there twice, or a book of the table before (or of the backup,
#   once restored) is missing;
# - the reader called anything damage, or any of them failed otherwise than
#   by being refused the table in use;
# - the table does not check whole, or an independent reading of its raw
#   bytes (dbfrows.py) finds another number of records than ours.
# Prints one line a round and the totals.
set -uo pipefail
tool=${1:?path to shelvix-tool}
poster=${2:?path to trial_window_poster}
rounds=${3:-100}
books=${4:-5000}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seed=${SHELVIX_TRIAL_SEED:-20261209}
RANDOM=$seed
rows() { /usr/bin/python3 "$here/dbfrows.py" "$@"; }
now() { date +%s%N; }
pause() { sleep "$(printf '0.%03d' $((RANDOM % $1)))"; } # up to $1 ms

base=$work/base
mkdir -p "$base/backup"
"$tool" generate "$books" "$base/MASTER.DBF" --seed 3 >/dev/null
"$tool" index "$base/MASTER.DBF" --tag NewIndex --expr 'UPPER(LEFT(TITLE,80))' >/dev/null
printf '[Sort]\r\nLevel1=1\r\n' >"$base/MASTER.INI"
mkdir "$base/other"
"$tool" generate "$((books / 2))" "$base/other/MASTER.DBF" --seed 4 >/dev/null
cp "$base/MASTER.INI" "$base/other/"
"$tool" backup "$base/other/MASTER.DBF" "$base/backup" >/dev/null
rows "$base/MASTER.DBF" TITLE | sort >"$base/before.titles"
rows "$base/backup/MASTER.DBF" TITLE | sort >"$base/backup.titles"
category=$(rows "$base/MASTER.DBF" CATEGORY | sort | uniq -c | sort -rn | awk 'NR == 1 { print $2 }')

rc_of() { awk '/^rc / { print $2 }' "$1"; }
failed=0
restored=0
refused=0
stored_total=0
for ((r = 1; r <= rounds; r++)); do
    dir=$work/round
    rm -rf "$dir"
    mkdir -p "$dir"
    cp "$base"/MASTER.* "$dir"/
    imports=$((50 + RANDOM % 100))
    {
        printf '"Title","Author"\r\n'
        for ((i = 1; i <= imports; i++)); do printf '"imp-%d-%d","Trial, Import"\r\n' "$r" "$i"; done
    } >"$dir/import.txt"

    (
        pause 40
        exec "$poster" "$dir/MASTER.DBF" "post-$r" 8 3
    ) >"$dir/poster.out" 2>&1 &
    (
        pause 60
        "$tool" import "$dir/MASTER.DBF" "$dir/import.txt" --skip-first
        echo "rc $?"
    ) >"$dir/import.out" 2>&1 &
    (
        pause 60
        "$tool" replace "$dir/MASTER.DBF" --field Category --find "$category" --with "REPLACED-$r"
        echo "rc $?"
    ) >"$dir/replace.out" 2>&1 &
    (
        pause 60
        # The file this restore replaces, kept by a second name: nothing else
        # in a round puts a new file in the catalogue's place.
        ln "$dir/MASTER.DBF" "$dir/replaced.DBF"
        "$tool" restore "$base/backup/MASTER.DBF" "$dir"
        echo "rc $? $(now)"
    ) >"$dir/restore.out" 2>&1 &
    (
        for ((i = 0; i < 6; i++)); do
            pause 30
            "$tool" check "$dir/MASTER.DBF" 2>&1
        done
    ) >"$dir/reader.out" &
    wait

    problems=()
    for w in import replace restore; do
        rc=$(rc_of "$dir/$w.out")
        if [ "$rc" = 1 ] && grep -q "in use" "$dir/$w.out"; then
            refused=$((refused + 1))
        elif [ "$rc" != 0 ]; then
            problems+=("$w failed: $(grep -v '^rc ' "$dir/$w.out" | tail -1)")
        fi
    done
    grep -q '^\(failed\|error\)' "$dir/poster.out" && problems+=("the post failed: $(grep -m1 '^\(failed\|error\)' "$dir/poster.out")")
    grep -q '^replaced ' "$dir/poster.out" && problems+=("a post returned into a replaced table: $(grep -m1 '^replaced ' "$dir/poster.out")")
    grep -qi 'damage' "$dir/reader.out" && problems+=("the reader called it damage: $(grep -m1 -i 'damage' "$dir/reader.out")")

    final=$dir/MASTER.DBF
    if ! "$tool" check "$final" >"$dir/check.txt" 2>&1; then
        problems+=("does not check whole: $(tail -1 "$dir/check.txt")")
    fi
    rows "$final" TITLE | sort >"$dir/final.titles" || problems+=("the raw bytes do not read as a table")
    ours=$("$tool" dump "$final" | wc -l)
    ours=$((ours - 1))
    [ "$ours" -eq "$(wc -l <"$dir/final.titles")" ] ||
        problems+=("our reading finds $ours records, the independent one $(wc -l <"$dir/final.titles")")

    restore_rc=$(rc_of "$dir/restore.out")
    {
        grep '^\(stored\|replaced\) ' "$dir/poster.out" | cut -d' ' -f2
        [ "$(rc_of "$dir/import.out")" = 0 ] && for ((i = 1; i <= imports; i++)); do echo "imp-$r-$i"; done
    } >"$dir/stored.titles"
    stored_total=$((stored_total + $(wc -l <"$dir/stored.titles")))
    if [ "$restore_rc" = 0 ]; then
        restored=$((restored + 1))
        ended=$(awk '/^rc / { print $3 }' "$dir/restore.out")
        written=$(/usr/bin/python3 -c 'import os,sys; print(os.stat(sys.argv[1]).st_mtime_ns)' "$dir/replaced.DBF")
        [ "$written" -gt "$ended" ] && problems+=("the table the restore replaced was written after the restore had ended")
        rows "$dir/replaced.DBF" TITLE | sort >"$dir/replaced.titles"
        [ -z "$(comm -23 "$base/backup.titles" "$dir/final.titles")" ] || problems+=("a book of the backup is missing")
    else
        : >"$dir/replaced.titles"
        [ -z "$(comm -23 "$base/before.titles" "$dir/final.titles")" ] || problems+=("a book that was there is missing")
    fi
    lost=0
    while read -r t; do
        n=$(grep -cx -- "$t" "$dir/final.titles")
        if [ "$n" -gt 1 ]; then
            problems+=("$t is there $n times")
        elif [ "$n" -eq 0 ] && ! grep -qx -- "$t" "$dir/replaced.titles"; then
            lost=$((lost + 1))
        fi
    done <"$dir/stored.titles"
    [ "$lost" -gt 0 ] && problems+=("$lost books reported as stored are lost")

    summary="restore rc ${restore_rc:-?}, import rc $(rc_of "$dir/import.out"), replace rc $(rc_of "$dir/replace.out"), $(grep -c '^stored ' "$dir/poster.out") posted, $(grep -c '^refused' "$dir/poster.out") post opens refused"
    if [ ${#problems[@]} -gt 0 ]; then
        failed=$((failed + 1))
        echo "round $r: $summary: FAILED: ${problems[*]}"
        cp -r "$dir" "${SHELVIX_TRIAL_KEEP:-$work}/failed-$r" 2>/dev/null
    else
        echo "round $r: $summary"
    fi
done
echo "two-process trials: $rounds rounds ($restored restored, $refused refused in use), $stored_total books reported as stored, $failed failed"
[ "$failed" -eq 0 ]
