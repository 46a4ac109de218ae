#!/usr/bin/env bash
# Fuzzes location conversion with libFuzzer for a bounded time (default 60 s):
#   bash scripts/fuzz.sh [SECONDS]
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
bash "$root/scripts/bootstrap.sh"
dir=$root/build/fuzz
cmake -S "$root" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQVFILE_FUZZ=ON \
    -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$dir" --target fuzz_location
mkdir -p "$dir/corpus"
printf '\x00file:///C|/Site/index.htm' >"$dir/corpus/prefixed"
printf '\x05see file:///D|/x.txt' >"$dir/corpus/short-buffer"
"$dir/fuzz_location" -max_total_time="${1:-60}" -max_len=600 "$dir/corpus"
