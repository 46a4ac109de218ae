#!/usr/bin/env bash
# Builds the product (build/i686/qvfile.dll and qvhost.exe) and the x86_64
# build, then runs examples/tour.js with qvhost under Wine.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build_all
start_wine
scratch=$WINEPREFIX/drive_c/qvfile-tour
rm -rf "$scratch"
"$root/scripts/wine-run.sh" "$test_dir/qvhost.exe" "$root/examples/tour.js" "C:/qvfile-tour"
rm -rf "$scratch"
echo
echo "Product: $product_dir/qvfile.dll (32-bit), with $product_dir/qvhost.exe beside it."
