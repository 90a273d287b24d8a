#!/usr/bin/env bash
# fuzz/run-fuzzer.sh FUZZER SECONDS SEED_CORPUS WORK_CORPUS FINDINGS
#
# Runs one fuzz target for SECONDS, starting from the committed SEED_CORPUS and the WORK_CORPUS of
# earlier runs (new inputs go there, never into the source tree). A finding (crash-*, timeout-*,
# oom-*, leak-*) is written to FINDINGS and fails the run. Prints the executions made.
set -euo pipefail
[ $# -eq 5 ] || { echo "usage: $0 FUZZER SECONDS SEED_CORPUS WORK_CORPUS FINDINGS" >&2; exit 2; }
fuzzer=$1 seconds=$2 seeds=$3 work=$4 findings=$5
mkdir -p "$work" "$findings"
log="$findings/$(basename "$fuzzer").log"

# -timeout: an input whose calls take longer than this is a hang. The largest inputs (64k bars,
# windows of tens of thousands of bars) take a few seconds under the sanitizers.
rc=0
"$fuzzer" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 -print_final_stats=1 \
  -artifact_prefix="$findings/" "$work" "$seeds" >"$log" 2>&1 || rc=$?

grep -E "^(INFO: Loaded|#[0-9]+[[:space:]]+DONE|stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)" "$log" || true
if [ "$rc" -ne 0 ]; then
  tail -n 60 "$log" >&2
  echo "$(basename "$fuzzer"): finding after fuzzing (exit $rc); input and log in $findings" >&2
fi
exit "$rc"
