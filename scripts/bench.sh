#!/usr/bin/env bash
# Builds everything and runs the benchmarks under Wine (a few minutes: the
# folder of 20,000 entries takes Wine about a minute to make).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_all
start_wine
"$root/scripts/wine-run.sh" "$test_dir/qvfile_benchmark.exe"
