#!/usr/bin/env bash
# link_bench twice in one run: the native Linux build, then the Windows build
# under Wine (the far end there is one loopback relay hop further away).
# Latency from a byte at the pseudo-terminal to OnTriggerAvail (median, p99),
# an idle open port, receive throughput. Figures only, never pass/fail.
#   bench/link-wine.sh [idle seconds]   (after ./test and ./test --windows)
set -euo pipefail
cd "$(dirname "$0")/.."
idle="${1:-5}"
cmake --build build --target link_bench >/dev/null
cmake --build build-win --target link_bench >/dev/null

echo "== native Linux build =="
build/bin/link_bench "$idle"

source scripts/wine-env
trap wine_stop EXIT
wine_start build-win
echo "== Windows build under Wine 8 =="
"$WINE" build-win/bin/link_bench.exe "$idle"
