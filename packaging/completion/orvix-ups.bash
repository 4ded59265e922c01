# bash completion for orvix-ups                              -*- shell-script -*-
# Installed as /usr/share/bash-completion/completions/orvix-ups.

_orvix_ups_commands="ports read write factory settings get diff"
_orvix_ups_rated="100 110 220 230 240"
# Every setting; the writable ones are those --set takes.
_orvix_ups_writable="upper_limit_v lower_limit_v shutdown_delay_min frequency_tolerance_hz
    outlet_delay_s biweekly_self_test fault_alarm_delay backup_warning_auto_stop
    alarm_sound_stop backup_warning_sound overload_warning_sound battery_low_warning_sound
    intelligent_channel_control mains_overload_shutdown high_temperature_shutdown
    battery_low_shutdown battery_overload_shutdown auto_supply_after_overload"
_orvix_ups_settings="identification $_orvix_ups_writable outlet_management_present"

# The options each command takes.
_orvix_ups_options() {
    local talk="--port -p --reply-wait --log --quiet -q"
    case $1 in
    ports) echo "--json -j" ;;
    read) echo "$talk --json -j" ;;
    write) echo "$talk --rated -r --set -s --from --any-limit --no-verify --dry-run --force --json -j" ;;
    factory) echo "$talk --rated -r --no-verify --dry-run --force --json -j" ;;
    settings) echo "--rated -r --json -j" ;;
    get) echo "$talk" ;;
    diff) echo "--port -p --reply-wait --quiet -q --json -j" ;;
    esac
}

# COM1..COM4 and the serial devices there are.
_orvix_ups_ports() {
    local devices=() d
    for d in /dev/ttyS* /dev/ttyUSB* /dev/ttyACM* /dev/serial/by-id/*; do
        [[ -e $d ]] && devices+=("$d")
    done
    COMPREPLY=($(compgen -W "COM1 COM2 COM3 COM4 ${devices[*]}" -- "$1"))
}

# The limit dialogs' choices for a rated voltage.
_orvix_ups_limits() {
    case $1:$2 in
    upper:100) echo 110 115 120 124 ;;
    upper:110) echo 121 126 132 136 ;;
    upper:220) echo 253 264 275 286 ;;
    upper:230) echo 265 276 288 299 ;;
    upper:240) echo 276 288 300 ;;
    lower:100) echo 95 90 85 80 ;;
    lower:110) echo 99 93 88 82 ;;
    lower:220) echo 187 176 165 154 ;;
    lower:230) echo 196 184 173 161 ;;
    lower:240) echo 204 192 180 168 ;;
    esac
}

# NAME= or NAME=VALUE after --set.
_orvix_ups_set() {
    local cur=$1 rated=$2
    if [[ $cur != *=* ]]; then
        COMPREPLY=($(compgen -S = -W "$_orvix_ups_writable" -- "$cur"))
        compopt -o nospace 2>/dev/null
        return
    fi
    local name=${cur%%=*} values
    case $name in
    upper_limit_v) values=$(_orvix_ups_limits upper "$rated") ;;
    lower_limit_v) values=$(_orvix_ups_limits lower "$rated") ;;
    frequency_tolerance_hz) values="1 2 3 4 5 6 7 8 9 10" ;;
    shutdown_delay_min | outlet_delay_s) values="" ;;
    *) values="true false" ;;
    esac
    COMPREPLY=($(compgen -P "$name=" -W "$values" -- "${cur#*=}"))
}

_orvix_ups() {
    local cur prev words cword
    if declare -F _init_completion >/dev/null; then
        _init_completion -n =: || return
    else
        cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
        words=("${COMP_WORDS[@]}") cword=$COMP_CWORD
    fi

    # The command, and the rated voltage given so far (for the limit values).
    local command="" rated="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --rated | -r) rated=${words[i + 1]} ;;
        --rated=*) rated=${words[i]#*=} ;;
        -*) ;;
        *) [[ -z $command && " $_orvix_ups_commands " == *" ${words[i]} "* ]] &&
            command=${words[i]} ;;
        esac
    done

    case $prev in
    --port | -p)
        _orvix_ups_ports "$cur"
        [[ $cur == */* ]] && COMPREPLY+=($(compgen -f -- "$cur"))
        # by-id names may hold colons, where bash splits words.
        declare -F __ltrim_colon_completions >/dev/null && __ltrim_colon_completions "$cur"
        return
        ;;
    --rated | -r)
        COMPREPLY=($(compgen -W "$_orvix_ups_rated" -- "$cur"))
        return
        ;;
    --set | -s)
        _orvix_ups_set "$cur" "$rated"
        return
        ;;
    --from | --log)
        if declare -F _filedir >/dev/null; then _filedir; else COMPREPLY=($(compgen -f -- "$cur")); fi
        return
        ;;
    --reply-wait) return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W "$_orvix_ups_commands --help -h --version" -- "$cur"))
        return
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_orvix_ups_options "$command") --help -h" -- "$cur"))
        return
    fi
    case $command in
    get) COMPREPLY=($(compgen -W "$_orvix_ups_settings" -- "$cur")) ;;
    diff)
        # Each side is a saved file or --port PORT.
        COMPREPLY=($(compgen -W "--port -p" -- "$cur"))
        if declare -F _filedir >/dev/null; then _filedir json; else COMPREPLY+=($(compgen -f -- "$cur")); fi
        ;;
    esac
} &&
    complete -F _orvix_ups orvix-ups

# ex: filetype=sh
