# bash completion for dsptune-cli                                  -*- shell-script -*-
# The commands and options are those of tools/cli/CommandTable.cpp; a test holds this file
# against that list (one "command) options+=..." line per command).

_dsptune_cli() {
  local cur prev words cword
  _init_completion || return

  local commands="show response eq-import eq-export autoeq diff merge info read write get set remote-save remote-load"
  local device="--tcp --hosts --usb --jobs --reply-timeout -q --quiet"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      --tcp | --hosts | --jobs | --reply-timeout) ((i++)) ;;
      -*) ;;
      *) command=${words[i]}; break ;;
    esac
  done

  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version -q --quiet" -- "$cur"))
    return
  fi

  case $prev in
    --tcp | --jobs | --reply-timeout | --freq | --gain | --q | --range | --bands | --max-boost)
      return ;;
    --hosts)
      _filedir
      return ;;
    --table)
      COMPREPLY=($(compgen -W "parameters bands records" -- "$cur"))
      return ;;
    --lang)
      COMPREPLY=($(compgen -W "en zh" -- "$cur"))
      return ;;
    --type)
      COMPREPLY=($(compgen -W "PEQ LP HP LS HS" -- "$cur"))
      return ;;
    --eq)
      COMPREPLY=($(compgen -W "$(seq 0 15)" -- "$cur"))
      return ;;
    --chain)
      COMPREPLY=($(compgen -W "$(seq 1 8)" -- "$cur"))
      return ;;
    --source)
      COMPREPLY=($(compgen -W "mic-a mic-b music" -- "$cur"))
      return ;;
    --smoothing)
      COMPREPLY=($(compgen -W "1/1 1/3 1/6 1/12 1/24 1/48 var none" -- "$cur"))
      return ;;
    --target)
      COMPREPLY=($(compgen -W "flat house:" -- "$cur"))
      _filedir
      return ;;
    --plot)
      _filedir '@(png|svg)'
      return ;;
    --prefer)
      COMPREPLY=($(compgen -W "mine theirs" -- "$cur"))
      return ;;
    --in)
      _filedir mode
      return ;;
    -o)
      case $command in
        eq-export) _filedir txt ;;
        read) _filedir mode; _filedir -d ;;
        *) _filedir mode ;;
      esac
      return ;;
  esac

  local options="--help --version"
  case $command in
    show) options+=" --csv --table --hex --json" ;;
    response) options+=" --type --freq --gain --q --eq --chain --source" ;;
    eq-import) options+=" --eq --in -o $device" ;;
    eq-export) options+=" --eq -o $device" ;;
    autoeq) options+=" --eq --target --range --bands --max-boost --smoothing --chain --keep-bands --in -o --plot --lang $device" ;;
    diff) options+=" --csv --lang $device" ;;
    merge) options+=" -o --prefer" ;;
    info) options+=" $device" ;;
    read) options+=" -o $device" ;;
    write) options+=" --verify $device" ;;
    get) options+=" $device" ;;
    set) options+=" $device" ;;
    remote-save) options+=" $device" ;;
    remote-load) options+=" $device" ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $command in
    show | diff | write | response | eq-export | merge) _filedir mode ;;
    eq-import) _filedir txt ;;
    autoeq) _filedir '@(txt|csv|frd)' ;;
    remote-save | remote-load) _filedir remo ;;
  esac
} &&
  complete -F _dsptune_cli dsptune-cli

# ex: filetype=sh
