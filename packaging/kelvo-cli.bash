# bash completion for kelvo-cli. Keep the word lists in step with
# `kelvo-cli --help` (a test compares them).

_kelvo_cli() {
    local cur prev words cword
    _init_completion || return

    local commands="download upload update-firmware read-firmware factory-defaults preset pintest programmers pack-firmware sim-create"
    local options="--sim --port --port-driver --programmer --ftdi-pins --yes --no-wait -q --quiet -v --verbose --help --version"
    local switches="-initprogramming -pintest -displaydatamemraw -bypassreadcheck -bypassfirmwarecheck -AVRonly -8051only -bypassfwboardcheck -wholesecondcalibration -delaymult -boardtype"
    local simcreate="--family --board --firmware --battery --halcyra-mode --address --bus-cycle-ns --floating-status --signature --lock-bits --eesave --pace --no-board --no-power --stuck-bit --answer-from --bit-errors --code --force"

    case $prev in
    --sim)
        _filedir json
        return
        ;;
    --port-driver)
        COMPREPLY=($(compgen -W "ppdev direct inpout" -- "$cur"))
        return
        ;;
    --programmer)
        COMPREPLY=($(compgen -W "parallel ft232r usbasp" -- "$cur"))
        return
        ;;
    --family)
        COMPREPLY=($(compgen -W "avr 8051" -- "$cur"))
        return
        ;;
    --halcyra-mode)
        COMPREPLY=($(compgen -W "0 1" -- "$cur"))
        return
        ;;
    --code)
        _filedir hex
        return
        ;;
    -o)
        _filedir '@(esf|efw|hex)'
        return
        ;;
    --backup)
        _filedir efw
        return
        ;;
    --port)
        COMPREPLY=($(compgen -W "378 278 3BC $(compgen -G '/dev/parport*')" -- "$cur"))
        return
        ;;
    --board | --firmware | --battery | --address | --bus-cycle-ns | --floating-status | \
        --signature | --lock-bits | --pace | --stuck-bit | --answer-from | --bit-errors)
        return
        ;;
    esac

    # The command is the first word that is neither an option nor its value.
    local i command=""
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
        --sim | --port | --port-driver | --programmer | --ftdi-pins) ((i++)) ;;
        -*) ;;
        *)
            command=${words[i]}
            break
            ;;
        esac
    done

    case $command in
    "")
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$options $switches" -- "$cur"))
        else
            COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        fi
        ;;
    download) COMPREPLY=($(compgen -W "-o --raw --json" -- "$cur")) ;;
    upload) _filedir esf ;;
    update-firmware)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--backup" -- "$cur"))
        else
            _filedir efw
        fi
        ;;
    read-firmware) COMPREPLY=($(compgen -W "-o" -- "$cur")) ;;
    preset) COMPREPLY=($(compgen -W "conservative normal fast extreme" -- "$cur")) ;;
    pack-firmware)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "--board -o" -- "$cur"))
        else
            _filedir hex
        fi
        ;;
    sim-create)
        if [[ $cur == -* ]]; then
            COMPREPLY=($(compgen -W "$simcreate" -- "$cur"))
        else
            _filedir json
        fi
        ;;
    esac
} &&
    complete -F _kelvo_cli kelvo-cli
