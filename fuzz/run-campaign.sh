#!/usr/bin/env bash
# Runs every libFuzzer target in turn for a fixed time, or until it has made
# SHELVIX_FUZZ_RUNS executions (default 10 million), on a copy of its seed
# corpus, and prints each target's final figures.
#   fuzz/run-campaign.sh BUILD_DIR SECONDS_PER_TARGET [EXTRA_CORPUS_DIR] [TARGET...]
# Files of EXTRA_CORPUS_DIR join every target's corpus; a .DBF goes in with
# its .MDX the way the table targets take them.
# BUILD_DIR is configured with CC=clang CXX=clang++ -DSHELVIX_FUZZ=ON.
# Findings land in WORK/<target>/ as crash-*, leak-* or timeout-* files, each
# run's log as log-TIME.txt and its figures in runs.txt; a
# finding replays with build/fuzz/fuzz_<target>_smoke FILE.
set -uo pipefail
# Paths given are taken from where the script was started.
build=$(cd "${1:?fuzz build dir}" && pwd) || exit 1
seconds=${2:-3600}
extra=${3:-}
[ -n "$extra" ] && { extra=$(cd "$extra" && pwd) || exit 1; }
work=${SHELVIX_FUZZ_WORK:-/tmp/shelvix-fuzz-campaign}
mkdir -p "$work" && work=$(cd "$work" && pwd) || exit 1
cd "$(dirname "$0")/.."
shift $(($# < 3 ? $# : 3))
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(table settings datalist reports import_text import_dbf convert)
for t in "${targets[@]}"; do
    mkdir -p "$work/$t/corpus"
    cp -n fuzz/corpus/"$t"/* "$work/$t/corpus/" 2>/dev/null
    if [ -n "$extra" ]; then
        for f in "$extra"/*; do
            [ -f "$f" ] || continue
            name=$(basename "$f")
            # Tables travel with their index as one input; a convert input
            # starts with a byte choosing the earlier version.
            case "$t:${name^^}" in
            table:*.DBF | import_dbf:*.DBF) python3 fuzz/pair-files.py "$f" "$work/$t/corpus/extra-$name" ;;
            convert:*.DBF) python3 fuzz/pair-files.py "$f" "$work/$t/corpus/extra-$name" 0 ;;
            table:*.MDX | import_dbf:*.MDX | convert:*.MDX) ;;
            *) cp -n "$f" "$work/$t/corpus/extra-$name" ;;
            esac
        done
    fi
    start=$(date +%s)
    log="$work/$t/log-$(date +%Y%m%d-%H%M%S).txt"
    (cd "$work/$t" &&
        "$build/fuzz/fuzz_$t" corpus -max_total_time="$seconds" -timeout=30 \
            -runs="${SHELVIX_FUZZ_RUNS:-10000000}" \
            -rss_limit_mb=4096 -max_len=65536 -print_final_stats=1 \
            >"$log" 2>&1)
    status=$?
    echo "$t: exit $status, $(($(date +%s) - start)) s, $(grep -E '^stat::(average_exec_per_sec|peak_rss_mb)' "$log" | tr '\n' ' ')" \
        "$(grep -E '^stat::number_of_executed_units' "$log")" \
        "$(grep -oE 'cov: [0-9]+ ft: [0-9]+' "$log" | tail -1)" | tee -a "$work/$t/runs.txt"
done
