#!/usr/bin/env bash
# Start-up and exit of orvix-config under Xvfb, in figures (never pass/fail).
#  - start-up to the first window mapped, 10 runs, against a bare Qt Widgets
#    window with one label started the same way, and their ratio;
#  - exit: from the main window's unmap after "切断" to the process's end, with
#    the port closed and open, without and with the accessibility bridge
#    (QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on a private AT-SPI bus);
#  - peak memory after a connect and read.
# Window events come from `xev -root` as they happen, stamped in the shell
# without a fork, so the figures are exact to well under a millisecond.
# Usage: bench/startup.sh [build dir]   (default build-release, as ./run builds)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-release}
[ -f "$build/build.ninja" ] || cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target orvix-config orvix-ups-sim bare_window >/dev/null
runs=10

pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
work=$(mktemp -d)
trap cleanup EXIT

exec {displayfd}<> <(:)
Xvfb -displayfd "$displayfd" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
read -r -u "$displayfd" display
export DISPLAY=:$display

# Each window event as "microseconds kind", stamped as it arrives.
coproc EVENTS {
  stdbuf -oL xev -root -event substructure 2>/dev/null | while read -r kind _; do
    case $kind in MapNotify | UnmapNotify) echo "${EPOCHREALTIME/./} $kind" ;; esac
  done
}
pids+=($EVENTS_PID)
sleep 0.3 # xev selects its events

# The time of the next event of a kind, waiting up to 10 s.
next() {
  local stamp kind
  while read -r -t 10 -u "${EVENTS[0]}" stamp kind; do
    [ "$kind" = "$1" ] && { echo "$stamp"; return; }
  done
  echo "no $1 seen" >&2
  return 1
}
drain() { while read -r -t 0.2 -u "${EVENTS[0]}" _; do :; done; }

fifo=$work/sim
mkfifo "$fifo"
"$build/bin/orvix-ups-sim" >"$fifo" &
pids+=($!)
read -r terminal <"$fifo"

first_window() { # program: tenths of a millisecond from start to its first window mapped
  local start mapped app
  start=${EPOCHREALTIME/./}
  ORVIX_COM1=$terminal "$build/bin/$1" 2>/dev/null &
  app=$!
  mapped=$(next MapNotify)
  kill $app; wait $app 2>/dev/null || true
  drain
  echo $(( (mapped - start) / 100 ))
}
summary() { # name, runs in tenths of a millisecond: prints them, leaves the median in $median
  local name=$1 line
  shift
  read -r median line < <(printf '%s\n' "$@" | sort -n | awk '
    { v[NR] = $1 / 10; s = s sprintf(" %.1f", $1 / 10) }
    END { printf "%.1f%s\n", (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2, s }')
  printf '  %-13s median %6.1f ms   runs:%s\n' "$name" "$median" "$line"
}

# Alternating runs, so that other work on the machine weighs on both alike.
echo "Start-up to the first window ($runs runs each, alternating, $build):"
bare_runs=() our_runs=()
for _ in $(seq $runs); do
  bare_runs+=($(first_window bare_window))
  our_runs+=($(first_window orvix-config))
done
summary bare_window "${bare_runs[@]}"; bare=$median
summary orvix-config "${our_runs[@]}"; ours=$median
awk -v a="$ours" -v b="$bare" 'BEGIN { printf "  ratio         %.2f (orvix-config / bare window, medians)\n", a / b }'

# Pointer positions follow the centred windows on 1024 x 768.
click() { xdotool mousemove "$1" "$2" click 1; }
exit_time() { # label, "open" to connect first, extra environment...
  local label=$1 connect=$2 app clicked unmapped ended
  shift 2
  env "$@" ORVIX_COM1="$terminal" "$build/bin/orvix-config" 2>/dev/null &
  app=$!
  next MapNotify >/dev/null
  click 434 412; click 556 342 # 230 V, OK
  next MapNotify >/dev/null    # the main window
  if [ "$connect" = open ]; then
    click 290 276; click 572 270 # COM 1, 接続
    sleep 3                      # the read ends; the port stays open
  fi
  drain
  clicked=${EPOCHREALTIME/./}
  click 572 302 & # 切断; xdotool itself takes about 100 ms to return
  local clicker=$!
  unmapped=$(next UnmapNotify)
  wait $app 2>/dev/null || true
  ended=${EPOCHREALTIME/./}
  wait $clicker
  drain
  printf '  %-34s %6.1f ms (click to unmap %5.1f ms)\n' "$label" \
    "$(awk -v a="$ended" -v b="$unmapped" 'BEGIN { print (a - b) / 1000 }')" \
    "$(awk -v a="$unmapped" -v b="$clicked" 'BEGIN { print (a - b) / 1000 }')"
}

echo "Exit, from the main window's unmap to the process's end:"
exit_time "port closed" closed
exit_time "port open" open
if command -v dbus-daemon >/dev/null && [ -x /usr/libexec/at-spi-bus-launcher ]; then
  read -r bus bus_pid < <(dbus-daemon --session --fork --print-address=1 --print-pid=1 | paste -s -d ' ')
  pids+=($bus_pid)
  # Qt waits for the AT-SPI bus to appear but does not start it; a desktop
  # session would. Asking for its address starts it (and with it the registry).
  export DBUS_SESSION_BUS_ADDRESS=$bus
  dbus-send --session --print-reply --dest=org.a11y.Bus /org/a11y/bus org.a11y.Bus.GetAddress >/dev/null
  launcher=$(dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.GetConnectionUnixProcessID string:org.a11y.Bus | awk '/uint32/ { print $2 }')
  pids+=($launcher) # ending it ends the AT-SPI bus and the registry
  exit_time "port closed, accessibility bridge" closed QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  exit_time "port open, accessibility bridge" open QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1
  unset DBUS_SESSION_BUS_ADDRESS
else
  echo "  (no dbus-daemon or at-spi2-core: the bridge is not measured)"
fi

# Peak memory: start, 230 V, OK, COM 1, connect, read.
ORVIX_COM1=$terminal "$build/bin/orvix-config" 2>/dev/null &
app=$!
pids+=($app)
next MapNotify >/dev/null
grep VmHWM /proc/$app/status | sed 's/^VmHWM:/peak memory after start:/'
click 434 412; click 556 342; next MapNotify >/dev/null
click 290 276; click 572 270; sleep 3
grep VmHWM /proc/$app/status | sed 's/^VmHWM:/peak memory after a read: /'
