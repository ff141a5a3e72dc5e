#!/usr/bin/env bash
# Kills shelvix-tool with SIGKILL at random moments while it generates,
# imports, replaces, packs and restores, with a second writer (the window's
# post, POSTER = trial_window_poster) and a reader (`check`) at work beside
# it. Then reads the table's raw bytes with an independent reader
# (dbfrows.py), before anything of ours opens or repairs it, and compares
# what it holds with what it held before; only then opens it as the program
# does (`repair`: the repairs made at every open, then the full check).
#
#   tests/trials/kill-trials.sh TOOL ROUNDS [BOOKS] [POSTER]
#
# A round fails when the raw bytes do not read as a table; when a record
# that was there is gone or changed (a replaced one may be old or new, a
# packed table keeps every live record); when restored data is neither the
# old table nor the backup; when a book the second writer reported as stored
# is missing (unless a restore replaced the table holding it); when the
# reader called anything damage while the killed writer was still alive; or
# when the table does not then open and check whole. Prints one line a round
# and the totals.
set -uo pipefail
tool=${1:?path to shelvix-tool}
rounds=${2:-100}
books=${3:-50000}
poster=${4:-}
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
seed=${SHELVIX_TRIAL_SEED:-20261207}
RANDOM=$seed
now() { date +%s%N; }

base=$work/base
mkdir -p "$base/backup"
"$tool" generate "$books" "$base/MASTER.DBF" --seed 3 >/dev/null
"$tool" index "$base/MASTER.DBF" --tag NewIndex --expr 'UPPER(LEFT(TITLE,80))' >/dev/null
"$tool" generate "$((books / 2))" "$base/OTHER.DBF" --seed 4 >/dev/null
"$tool" backup "$base/OTHER.DBF" "$base/backup" >/dev/null
mv "$base/backup/OTHER.DBF" "$base/backup/MASTER.DBF"
"$tool" export "$base/OTHER.DBF" "$base/IMPORT.TXT" >/dev/null
# Live records in record order, without their numbers (a pack renumbers),
# as an independent reader finds them in the raw bytes.
live() { /usr/bin/python3 "$here/dbfrows.py" "$1"; }
live "$base/MASTER.DBF" >"$base/before.csv"
live "$base/backup/MASTER.DBF" >"$base/backup.csv"
category=$(/usr/bin/python3 "$here/dbfrows.py" "$base/MASTER.DBF" CATEGORY | sort | uniq -c |
    sort -rn | awk 'NR == 1 { print $2 }')

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
    start=$(now)
    $(command_for "$w" "$work/time") >/dev/null 2>&1
    millis[$w]=$((($(now) - start) / 1000000))
    echo "full $w: ${millis[$w]} ms"
done

failed=0
repaired=0
killed=0
posted=0
for ((r = 1; r <= rounds; r++)); do
    w=${works[$(((r - 1) % 5))]}
    dir=$work/round
    fresh "$dir"
    # The table a restore replaces, kept by a second name.
    ln "$dir/MASTER.DBF" "$dir/replaced.DBF"
    stop=$dir/stop
    delay=$((RANDOM * 32768 + RANDOM))
    delay=$((delay % (millis[$w] + 1)))
    # The second writer and the reader start with the work or during it:
    # before it opens the table, an exclusive work is refused it (and an
    # import shares it); after, they are refused until it ends.
    beside=$((RANDOM % (delay / 2 + 1)))
    ms() { sleep "$(printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)))"; }
    $(command_for "$w" "$dir") >/dev/null 2>&1 &
    pid=$!
    ms "$beside"
    : >"$dir/poster.out"
    if [ -n "$poster" ]; then
        "$poster" "$dir/MASTER.DBF" "post-$r" 40 30 "$stop" >"$dir/poster.out" 2>&1 &
        second=$!
    fi
    (
        while [ ! -e "$stop" ]; do
            "$tool" check "$dir/MASTER.DBF" 2>&1
            echo "check ended $(now)"
            sleep 0.0$((RANDOM % 10))
        done
    ) >"$dir/reader.out" &
    reader=$!
    ms $((delay - beside))
    at=$(now)
    if kill -9 "$pid" 2>/dev/null; then
        how="killed at ${delay} ms"
        killed=$((killed + 1))
    else
        how="finished before ${delay} ms"
    fi
    wait "$pid" 2>/dev/null
    touch "$stop"
    [ -n "$poster" ] && wait "$second"
    wait "$reader"

    problems=()
    # The reader may find what the killed writer left half done, but never
    # damage while the writer was alive.
    awk -v at="$at" '/damage/ { bad = 1 } /^check ended / { if (bad && $3 < at) { print; exit } bad = 0 }' \
        "$dir/reader.out" | grep -q . && problems+=("the reader called a live writer's work damage")
    if ! live "$dir/MASTER.DBF" >"$dir/after.csv" 2>"$dir/raw.txt"; then
        problems+=("the raw bytes do not read as a table: $(tail -1 "$dir/raw.txt")")
    else
        # The second writer's books: each there, or in the table a restore
        # replaced; then left out of the comparison with the table before.
        grep '^stored ' "$dir/poster.out" | cut -d' ' -f2 >"$dir/stored.titles"
        posted=$((posted + $(wc -l <"$dir/stored.titles")))
        cut -d'|' -f1 "$dir/after.csv" >"$dir/after.titles"
        live "$dir/replaced.DBF" 2>/dev/null | cut -d'|' -f1 >"$dir/replaced.titles"
        lost=$(grep -cvxF -f "$dir/after.titles" "$dir/stored.titles")
        [ "$w" = restore ] && lost=$(grep -vxF -f "$dir/after.titles" "$dir/stored.titles" |
            grep -cvxF -f "$dir/replaced.titles")
        [ "$lost" -gt 0 ] && problems+=("$lost books the second writer stored are lost")
        grep -v '^post-' "$dir/after.csv" >"$dir/mine.csv"
        before=$(wc -l <"$base/before.csv")
        after=$(wc -l <"$dir/mine.csv")
        case $w in
        generate | import)
            if [ "$after" -lt "$before" ] || ! cmp -s <(head -n "$before" "$dir/mine.csv") "$base/before.csv"; then
                problems+=("records before the work changed or lost")
            fi
            ;;
        replace)
            if [ "$after" -ne "$before" ] ||
                diff "$base/before.csv" "$dir/mine.csv" | grep '^>' | grep -vq REPLACED; then
                problems+=("a record changed other than by the replacement")
            fi
            ;;
        pack)
            cmp -s "$base/before.csv" "$dir/mine.csv" || problems+=("live records differ after pack")
            ;;
        restore)
            if ! cmp -s "$base/before.csv" "$dir/mine.csv" && ! cmp -s "$base/backup.csv" "$dir/mine.csv"; then
                problems+=("neither the old table nor the backup")
            fi
            ;;
        esac
    fi
    "$tool" check "$dir/MASTER.DBF" >/dev/null 2>&1
    checked=$?
    if ! "$tool" repair "$dir/MASTER.DBF" >"$dir/repair.txt" 2>&1; then
        problems+=("does not open or check whole: $(tail -1 "$dir/repair.txt")")
    elif [ "$checked" -ne 0 ]; then
        repaired=$((repaired + 1))
    fi
    state=$([ "$checked" -eq 0 ] && echo "whole" || echo "repaired at open")
    if [ ${#problems[@]} -gt 0 ]; then
        failed=$((failed + 1))
        echo "round $r: $w $how: FAILED: ${problems[*]}"
        cp -r "$dir" "${SHELVIX_TRIAL_KEEP:-$work}/failed-$r" 2>/dev/null
    else
        echo "round $r: $w $how: $state"
    fi
done
echo "kill trials: $rounds rounds ($killed killed mid-work), $posted books posted beside, $failed failed, $repaired needed the repairs made at open"
[ "$failed" -eq 0 ]
