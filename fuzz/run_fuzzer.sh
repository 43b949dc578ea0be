#!/usr/bin/env bash
# Runs one fuzz target for a bounded time:
#   run_fuzzer.sh FUZZER SECONDS SEED-CORPUS ARTIFACT-DIR [RUNS]
# With RUNS (the test suite's short runs) the fuzzer starts from a fixed
# random seed and stops after RUNS inputs: every machine tries the same
# inputs, so a fault such a run finds is found on every run, not now and
# then. Without RUNS (make fuzz) each run starts from a new seed.
# New inputs go to a scratch corpus (the seeds in the repository stay as they
# are); an input that crashes is kept in ARTIFACT-DIR, to be added to
# fuzz/regressions/ once the fault is mended.
set -euo pipefail
fuzzer=$1 seconds=$2 seeds=$3 artifacts=$4 runs=${5:-}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$artifacts"
repeatable=()
[ -n "$runs" ] && repeatable=(-seed=1 -runs="$runs")
"$fuzzer" "${repeatable[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$scratch" "$seeds"
