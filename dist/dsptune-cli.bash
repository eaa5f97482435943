# bash completion for dsptune-cli                                  -*- shell-script -*-

_dsptune_cli() {
  local cur prev words cword
  _init_completion || return

  local commands="show response diff merge info read write get set remote-save remote-load"
  local device="--tcp --hosts --usb --jobs --reply-timeout -q --quiet"
  local command="" i
  for ((i = 1; i < cword; i++)); do
    case ${words[i]} in
      -*) ;;
      *) command=${words[i]}; break ;;
    esac
  done

  if [[ -z $command ]]; then
    COMPREPLY=($(compgen -W "$commands --help --version" -- "$cur"))
    return
  fi

  case $prev in
    --tcp | --jobs | --reply-timeout | --freq | --gain | --q)
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
    --prefer)
      COMPREPLY=($(compgen -W "mine theirs" -- "$cur"))
      return ;;
    --type)
      COMPREPLY=($(compgen -W "PEQ LP HP LS HS" -- "$cur"))
      return ;;
    --eq)
      COMPREPLY=($(compgen -W "$(seq 0 15)" -- "$cur"))
      return ;;
    -o)
      _filedir mode
      [[ $command == read ]] && _filedir -d
      return ;;
  esac

  local options="--help --version"
  case $command in
    show) options+=" --csv --table --hex --json" ;;
    response) options+=" --type --freq --gain --q --eq" ;;
    diff) options+=" --csv --lang $device" ;;
    merge) options+=" -o --prefer" ;;
    info | get | set | remote-save) options+=" $device" ;;
    read) options+=" -o $device" ;;
    write) options+=" --verify $device" ;;
    remote-load) options+=" $device" ;;
  esac

  if [[ $cur == -* ]]; then
    COMPREPLY=($(compgen -W "$options" -- "$cur"))
    return
  fi
  case $command in
    show | diff | merge | write) _filedir mode ;;
    remote-save | remote-load) _filedir remo ;;
  esac
} &&
  complete -F _dsptune_cli dsptune-cli

# ex: filetype=sh
