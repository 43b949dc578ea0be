#!/usr/bin/env bash
# Runs one fuzz target for a bounded time:
#   run_fuzzer.sh FUZZER SECONDS SEED-CORPUS ARTIFACT-DIR
# New inputs go to a scratch corpus (the seeds in the repository stay as they
# are); an input that crashes is kept in ARTIFACT-DIR, to be added to
# fuzz/regressions/ once the fault is mended.
set -euo pipefail
fuzzer=$1 seconds=$2 seeds=$3 artifacts=$4
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$artifacts"
"$fuzzer" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -max_len=65536 \
  -print_final_stats=1 -artifact_prefix="$artifacts/" "$scratch" "$seeds"
