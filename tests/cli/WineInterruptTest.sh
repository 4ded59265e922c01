#!/usr/bin/env bash
# Ctrl-C to orvix-ups.exe under Wine, against the simulator on COM1: Wine
# hands a SIGINT to a Windows program as a Ctrl-C event, which the program
# takes through its console control handler. As with SIGINT on Linux, the
# first lets a save finish, a second stops at once, and the exit code is 130.
# Usage: WineInterruptTest.sh WINE ORVIX_UPS_EXE   (sim-control as for the Wine tests)
set -uo pipefail
wine=$1 ups=$2
[ -n "${ORVIX_TEST_SIM_CONTROL:-}" ] || { echo "ORVIX_TEST_SIM_CONTROL is not set"; exit 1; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

sim() { # one request to sim-control, its answer
  exec 3<>"/dev/tcp/127.0.0.1/$ORVIX_TEST_SIM_CONTROL"
  printf '%s\n' "$1" >&3
  IFS= read -r -d '' answer <&3
  exec 3>&-
  printf '%s' "$answer"
}

# Up to 30 s for what takes a fraction of one, while pid runs.
await() { # pid, then the test
  local pid=$1
  shift
  for _ in $(seq 300); do
    "$@" && return 0
    kill -0 "$pid" 2>/dev/null || { "$@"; return; }
    sleep 0.1
  done
  return 1
}
sim_received() { sim log | grep -qF "< $1"; }
noted() { grep -q "received" "$work/log"; }

defaults=$'R5 0B40\nR4 06C2\nTD 2\nF% 6\nR31 A108\nR28 1AFF\nR34 8100\nR42 305A\n'
saved=$'R5 0B40\nR4 0730\nTD 5\nF% 6\nR31 A108\nR28 1AFF\nR34 8100\nR42 305A\n'
write="write -p COM1 -r 230 -s lower_limit_v=184 -s shutdown_delay_min=5"
failures=0
# name | command | sent before the first Ctrl-C | Ctrl-Cs | exit | message | registers after ("" any)
while IFS='|' read -r name command before count exit message state; do
  sim "start --reply-delay 100" >/dev/null
  rm -f "$work/log"
  # shellcheck disable=SC2086
  "$wine" "$ups" $command --log "$work/log" >"$work/out" 2>"$work/err" &
  pid=$!
  ok=1
  await "$pid" sim_received "$before" || { echo "$name: $before never reached the UPS"; ok=0; }
  for ((i = 0; i < count; ++i)); do
    if ((i)); then await "$pid" noted || { echo "$name: the first Ctrl-C was not noted"; ok=0; }; fi
    kill -INT "$pid"
  done
  wait "$pid"
  got=$?
  [ "$got" = "$exit" ] || { echo "$name: exit $got, not $exit"; ok=0; }
  grep -qF "$message" "$work/err" || { echo "$name: no \"$message\""; ok=0; }
  grep -qF "ended with exit $exit: stopped by Ctrl-C" "$work/log" ||
    { echo "$name: the transcript does not end with the stop"; ok=0; }
  if [ -n "$state" ]; then
    [ "$(sim state)" = "$(printf '%b' "$state")" ] || { echo "$name: the UPS holds"; sim state; ok=0; }
  fi
  # The next run finds the port free.
  "$wine" "$ups" get -p COM1 shutdown_delay_min >/dev/null 2>&1 ||
    { echo "$name: COM1 is not free afterwards"; ok=0; }
  if ((ok)); then echo "ok: $name"; else cat "$work/err"; failures=$((failures + 1)); fi
done <<EOF
Ctrl-C in a save|$write|R4=|1|130|Ctrl-C: the save goes on to its end|${saved//$'\n'/\\n}
two Ctrl-Cs in a save|$write|R4=|2|130|stopped by Ctrl-C during the save; the UPS took R5= (upper_limit_v)|
Ctrl-C in a read|read -p COM1|R4|1|130|stopped by Ctrl-C|${defaults//$'\n'/\\n}
EOF
sim stop >/dev/null
exit $((failures > 0))
