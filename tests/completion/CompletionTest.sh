#!/usr/bin/env bash
# The bash completion of orvix-ups as bash runs it: registered for the
# command, and answering the commands, options, setting names, --rated values
# and ports. Its names are held to the program: every option in the usage and
# every setting that "read --json" prints against the simulator.
# Arguments: the completion script, orvix-ups, orvix-ups-sim.
set -uo pipefail
script=$1 ups=$2 sim=$3
failures=0 passed=0
check() { # what, expected, actual
  if [ "$2" = "$3" ]; then
    passed=$((passed + 1))
  else
    failures=$((failures + 1))
    printf 'FAIL: %s\n  expected: %s\n  actual:   %s\n' "$1" "$2" "$3"
  fi
}
[ -r /usr/share/bash-completion/bash_completion ] && source /usr/share/bash-completion/bash_completion
source "$script"
check "registered" "complete -F _orvix_ups orvix-ups" "$(complete -p orvix-ups)"

# Completes the last word of a command line, as bash does on TAB.
complete_line() {
  COMP_LINE="$*" COMP_POINT=${#COMP_LINE}
  read -ra COMP_WORDS <<<"$*"
  [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) COMPREPLY=()
  _orvix_ups orvix-ups "${COMP_WORDS[COMP_CWORD]}" "${COMP_WORDS[COMP_CWORD - 1]}"
  printf '%s\n' "${COMPREPLY[@]}" | sort | tr '\n' ' '
}

check "wr" "write " "$(complete_line orvix-ups wr)"
check "commands" "--help --version -h diff factory get ports read settings write " "$(complete_line 'orvix-ups ')"
check "--rated" "100 110 220 230 240 " "$(complete_line orvix-ups write --rated '')"
check "-r 2" "220 230 240 " "$(complete_line orvix-ups factory -p COM1 -r 2)"
check "--set names" "battery_low_shutdown= battery_low_warning_sound= battery_overload_shutdown= " \
  "$(complete_line orvix-ups write --set batt)"
check "--set limits of the rated voltage" "upper_limit_v=265 upper_limit_v=276 upper_limit_v=288 upper_limit_v=299 " \
  "$(complete_line orvix-ups write -r 230 -s upper_limit_v=)"
check "--set at 240 V leaves out 312" "upper_limit_v=276 upper_limit_v=288 upper_limit_v=300 " \
  "$(complete_line orvix-ups write --rated 240 --set upper_limit_v=)"
check "--set boolean" "fault_alarm_delay=false fault_alarm_delay=true " \
  "$(complete_line orvix-ups write --set fault_alarm_delay=)"
check "get names" "identification " "$(complete_line orvix-ups get -p COM1 ident)"
check "write options" "--dry-run " "$(complete_line orvix-ups write --dr)"
check "options go with their command" "--help --json " "$(complete_line orvix-ups ports --)"
devices=(COM1 COM2 COM3 COM4)
for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/serial/by-id/*; do [ -e "$d" ] && devices+=("$d"); done
check "ports" "$(printf '%s\n' "${devices[@]}" | sort | tr '\n' ' ')" "$(complete_line orvix-ups read --port '')"
check "COM" "COM1 COM2 COM3 COM4 " "$(complete_line orvix-ups read -p CO)"

# Every option the usage names is offered by some command.
offered=" --help -h --version "
for command in $_orvix_ups_commands; do offered+=" $(_orvix_ups_options "$command") "; done
for option in $("$ups" --help 2>&1 | grep -oE -- '--[a-z][a-z-]+' | sort -u); do
  [[ $offered == *" $option "* ]] || check "offers $option from the usage" yes no
done
# Every setting the program reads is offered, and nothing else.
coproc SIM { exec "$sim"; }
read -r terminal <&"${SIM[0]}"
names=$("$ups" read --port "$terminal" --json | grep -oE '"[a-z][a-z0-9_]*" *:' | tr -d '": ' |
  grep -vxE 'registers|settings|format|tool|read_at|port' | sort -u | tr '\n' ' ')
kill "$SIM_PID"
check "the settings read --json prints" "$names" "$(printf '%s\n' $_orvix_ups_settings | sort | tr '\n' ' ')"

# The zsh one at least parses.
zsh -n "$(dirname "$script")/_orvix-ups" && check "zsh parses _orvix-ups" ok ok || check "zsh parses _orvix-ups" ok no

echo "$passed passed, $failures failed"
[ "$failures" = 0 ]
