#!/usr/bin/env bash
# Start-up time of orvix-config to its first window under Xvfb, and its peak
# memory after a connect and read against the simulator. Run after ./test.
set -euo pipefail
cd "$(dirname "$0")/.."
display=:77
Xvfb $display -screen 0 1024x768x24 -dpi 96 >/dev/null 2>&1 &
xvfb=$!
fifo=$(mktemp -u); mkfifo "$fifo"
build/bin/orvix-ups-sim >"$fifo" & sim=$!
trap 'kill $app $sim $xvfb 2>/dev/null; rm -f "$fifo"' EXIT
read -r terminal <"$fifo"
sleep 1
export DISPLAY=$display
start=$(date +%s%N)
ORVIX_COM1=$terminal build/bin/orvix-config & app=$!
xdotool search --sync --onlyvisible --name "INPUT VOLTAGE" >/dev/null
ready=$(date +%s%N)
echo "start-up to the first window: $(( (ready - start) / 1000000 )) ms"
grep VmHWM /proc/$app/status | sed 's/^/peak memory after start: /'
# 230 V, OK, COM 1, connect; positions follow the centred windows on 1024 x 768.
xdotool mousemove 434 412 click 1; sleep 0.3
xdotool mousemove 556 342 click 1; sleep 0.5
xdotool mousemove 290 276 click 1; sleep 0.2
xdotool mousemove 572 270 click 1; sleep 3
grep VmHWM /proc/$app/status | sed 's/^/peak memory after a read: /'
