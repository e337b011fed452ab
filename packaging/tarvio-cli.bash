# Bash completion for tarvio-cli: the commands, each command's options and,
# after --set and --sig, the field names. Everything is read from the
# tarvio-cli being completed (its --help texts and `fields --markdown`), so
# new commands, options and records complete without a change here. The
# answers are kept for the shell's life, per program path.

# Runs the tarvio-cli of the command line being completed.
_tarvio_cli_run() {
  local cli=${COMP_WORDS[0]}
  cli=${cli/#\~/$HOME}
  "$cli" "$@" 2>/dev/null
}

# The commands, from the command list of --help.
_tarvio_cli_commands() {
  _tarvio_cli_run --help | awk '/^Commands:/ { on = 1; next } on && /^  [^ ]/ { print $1 }'
}

# The options of one command, from its --help (a command that takes "calc
# options" takes calc's as well).
_tarvio_cli_options() {
  local help
  help=$(_tarvio_cli_run "$1" --help)
  [[ $help == *"calc options"* && $1 != calc ]] && help+=$'\n'$(_tarvio_cli_run calc --help)
  printf '%s\n' "$help" | grep -oE -- '--[A-Za-z][-A-Za-z0-9]*' | sort -u
  printf '%s\n' --help --quiet
}

# The field names an option sets: $1 is --set or --sig, $2 the command
# (config --set sets the connection settings, every other command's --set
# the parameter set). From `fields --markdown`: each record's "Set with"
# line names the option, its table rows the fields.
_tarvio_cli_fields() {
  local key="${COMP_WORDS[0]}"
  if [[ ${_tarvio_cli_field_key-} != "$key" ]]; then
    _tarvio_cli_field_table=$(_tarvio_cli_run fields --markdown | awk '
      /^## / { opt = ""; next }
      /^Set with `/ {
        cmd = ($0 ~ /config --set/) ? "config" : "any"
        opt = ($0 ~ /--sig/) ? "--sig" : (($0 ~ /--set/) ? "--set" : "")
        next
      }
      /^\| `/ && opt != "" { split($0, f, "`"); print cmd, opt, f[2] }')
    _tarvio_cli_field_key=$key
  fi
  local cmd=any
  [[ $2 == config ]] && cmd=config
  awk -v c="$cmd" -v o="$1" '$1 == c && $2 == o { print $3 }' <<<"$_tarvio_cli_field_table"
}

_tarvio_cli() {
  local cur=${COMP_WORDS[COMP_CWORD]} prev="" before=""
  ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}
  ((COMP_CWORD > 1)) && before=${COMP_WORDS[COMP_CWORD - 2]}
  COMPREPLY=()

  # The command: the first word that is not --quiet.
  local k cmd="" at=0
  for ((k = 1; k < COMP_CWORD; k++)); do
    case ${COMP_WORDS[k]} in
      --quiet | -q) ;;
      *)
        cmd=${COMP_WORDS[k]}
        at=$k
        break
        ;;
    esac
  done

  if [[ -z $cmd ]]; then
    if [[ $cur == -* ]]; then
      mapfile -t COMPREPLY < <(compgen -W "--help --version --quiet" -- "$cur")
    else
      mapfile -t COMPREPLY < <(compgen -W "$(_tarvio_cli_commands)" -- "$cur")
    fi
    return
  fi
  if [[ $cmd == help ]] && ((COMP_CWORD == at + 1)); then
    mapfile -t COMPREPLY < <(compgen -W "$(_tarvio_cli_commands)" -- "$cur")
    return
  fi

  # A field name after --set or --sig (also as --set=FIELD), completed with
  # its "=" so the value follows at once.
  local opt=""
  if [[ $prev == --set || $prev == --sig ]]; then
    opt=$prev
  elif [[ $prev == = && ($before == --set || $before == --sig) ]]; then
    opt=$before
  fi
  if [[ -n $opt ]]; then
    local f
    while IFS= read -r f; do
      [[ $f == "$cur"* ]] && COMPREPLY+=("$f=")
    done < <(_tarvio_cli_fields "$opt" "$cmd")
    compopt -o nospace 2>/dev/null
    return
  fi
  # `fields NAME` takes the same names.
  if [[ $cmd == fields && $cur != -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_tarvio_cli_fields --set any; _tarvio_cli_fields --sig any; _tarvio_cli_fields --set config)" -- "$cur")
    return
  fi
  if [[ $cur == -* ]]; then
    mapfile -t COMPREPLY < <(compgen -W "$(_tarvio_cli_options "$cmd")" -- "$cur")
    return
  fi
  # Anything else is a file (parameter files, waveforms, outputs): left to
  # the shell's own file name completion.
}

complete -o default -F _tarvio_cli tarvio-cli
