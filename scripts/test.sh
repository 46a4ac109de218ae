#!/usr/bin/env bash
# Builds both architectures and runs every test: the x86_64 build under Wine
# on a private X display, the checks of the shipped i686 DLL, and the
# platform-free parts natively under the sanitizers.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_all
build_native
start_wine
cd "$test_dir"
ctest --output-on-failure --timeout 900 "$@"
