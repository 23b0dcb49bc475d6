#!/usr/bin/env bash
# Short libFuzzer run for the test suite: fuzzer, seed folder, seconds.
# New inputs go to a scratch corpus so the seed folder in the repository stays as it is.
set -euo pipefail
fuzzer=$1 seeds=$2 seconds=${3:-10}
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
exec_args=(-max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -print_final_stats=1)
"$fuzzer" "${exec_args[@]}" "$scratch" "$seeds"
