#!/usr/bin/env bash
# Kills shelvix-tool with SIGKILL at random moments while it generates,
# imports, replaces, packs and restores, then opens the table as the program
# does (`repair`: the repairs made at every open, then the full check) and
# compares what it holds with what it held before.
#
#   tests/trials/kill-trials.sh TOOL ROUNDS [BOOKS]
#
# A round fails when the table does not open or check whole, when a record
# that was there is gone or changed (a replaced one may be old or new, a
# packed table keeps every live record), or when restored data is neither
# the old table nor the backup. Prints one line a round and the totals.
#
# Runs of 2026-12-07 on 50,000 books, 100 rounds each: 61 and 88 killed
# mid-work (the rest finished first), 0 failed, 9 repaired at open; seed
# 20261208: 96 killed, 0 failed, 8 repaired (38 s); seed 77, 500 rounds: 447
# killed, 0 failed, 40 repaired (3 min).
set -uo pipefail
tool=${1:?path to shelvix-tool}
rounds=${2:-100}
books=${3:-50000}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seed=${SHELVIX_TRIAL_SEED:-20261207}
RANDOM=$seed

base=$work/base
mkdir -p "$base/backup"
"$tool" generate "$books" "$base/MASTER.DBF" --seed 3 >/dev/null
"$tool" generate "$((books / 2))" "$base/OTHER.DBF" --seed 4 >/dev/null
"$tool" backup "$base/OTHER.DBF" "$base/backup" >/dev/null
mv "$base/backup/OTHER.DBF" "$base/backup/MASTER.DBF"
"$tool" export "$base/OTHER.DBF" "$base/IMPORT.TXT" >/dev/null
# Live records in record order, without their numbers (a pack renumbers).
live() { "$tool" dump "$1" | sed 's/^[0-9]*,//'; }
live "$base/MASTER.DBF" >"$base/before.csv"
live "$base/backup/MASTER.DBF" >"$base/backup.csv"
category=$("$tool" dump "$base/MASTER.DBF" --fields Category | tail -n +2 | cut -d, -f3 |
    sort | uniq -c | sort -rn | awk 'NR == 1 { print $2 }')

command_for() { # WORK DIR
    case $1 in
    generate) echo "$tool generate $((books / 2)) $2/MASTER.DBF --seed 9" ;;
    import) echo "$tool import $2/MASTER.DBF $base/IMPORT.TXT --skip-first" ;;
    replace) echo "$tool replace $2/MASTER.DBF --field Category --find $category --with REPLACED" ;;
    pack) echo "$tool pack $2/MASTER.DBF" ;;
    restore) echo "$tool restore $base/backup/MASTER.DBF $2" ;;
    esac
}

fresh() { # DIR
    rm -rf "$1"
    mkdir -p "$1"
    cp "$base"/MASTER.* "$1"/
}

declare -A millis
works=(generate import replace pack restore)
for w in "${works[@]}"; do
    fresh "$work/time"
    start=$(date +%s%N)
    $(command_for "$w" "$work/time") >/dev/null 2>&1
    millis[$w]=$((($(date +%s%N) - start) / 1000000))
    echo "full $w: ${millis[$w]} ms"
done

failed=0
repaired=0
killed=0
for ((r = 1; r <= rounds; r++)); do
    w=${works[$(((r - 1) % 5))]}
    dir=$work/round
    fresh "$dir"
    delay=$((RANDOM * 32768 + RANDOM))
    delay=$((delay % (millis[$w] + 1)))
    $(command_for "$w" "$dir") >/dev/null 2>&1 &
    pid=$!
    sleep "$(printf '%d.%03d' $((delay / 1000)) $((delay % 1000)))"
    if kill -9 "$pid" 2>/dev/null; then
        how="killed at ${delay} ms"
        killed=$((killed + 1))
    else
        how="finished before ${delay} ms"
    fi
    wait "$pid" 2>/dev/null
    "$tool" check "$dir/MASTER.DBF" >/dev/null 2>&1
    checked=$?
    problem=
    if ! "$tool" repair "$dir/MASTER.DBF" >"$dir/repair.txt" 2>&1; then
        problem="does not open or check whole: $(tail -1 "$dir/repair.txt")"
    else
        [ "$checked" -ne 0 ] && repaired=$((repaired + 1))
        live "$dir/MASTER.DBF" >"$dir/after.csv"
        before=$(wc -l <"$base/before.csv")
        after=$(wc -l <"$dir/after.csv")
        case $w in
        generate | import)
            if [ "$after" -lt "$before" ] || ! cmp -s <(head -n "$before" "$dir/after.csv") "$base/before.csv"; then
                problem="records before the work changed or lost"
            fi
            ;;
        replace)
            if [ "$after" -ne "$before" ] ||
                diff <(cat "$base/before.csv") "$dir/after.csv" | grep '^>' | grep -vq REPLACED; then
                problem="a record changed other than by the replacement"
            fi
            ;;
        pack)
            cmp -s "$base/before.csv" "$dir/after.csv" || problem="live records differ after pack"
            ;;
        restore)
            if ! cmp -s "$base/before.csv" "$dir/after.csv" && ! cmp -s "$base/backup.csv" "$dir/after.csv"; then
                problem="neither the old table nor the backup"
            fi
            ;;
        esac
    fi
    state=$([ "$checked" -eq 0 ] && echo "whole" || echo "repaired at open")
    if [ -n "$problem" ]; then
        failed=$((failed + 1))
        echo "round $r: $w $how: FAILED: $problem"
        cp -r "$dir" "${SHELVIX_TRIAL_KEEP:-$work}/failed-$r" 2>/dev/null
    else
        echo "round $r: $w $how: $state"
    fi
done
echo "kill trials: $rounds rounds ($killed killed mid-work), $failed failed, $repaired needed the repairs made at open"
[ "$failed" -eq 0 ]
