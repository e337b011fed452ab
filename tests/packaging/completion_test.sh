#!/usr/bin/env bash
# The bash completion of tarvio-cli against the built program: commands,
# options (a command's own and the calc options it takes), field names after
# --set and --sig for the record each one sets, and a record the script has
# never heard of (a stand-in program whose field list has one more record).
#   completion_test.sh COMPLETION_SCRIPT BIN_DIR
set -uo pipefail
script=$1
bin=$2
# shellcheck source=/dev/null
source "$script"
failures=0
checks=0

# complete LINE: the replies for the last word of LINE (a trailing space
# starts an empty word), split as bash splits a command line.
complete_line() {
  local line=$1
  read -r -a COMP_WORDS <<<"${line//=/ = }"
  [[ $line == *" " ]] && COMP_WORDS+=("")
  COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
  _tarvio_cli
  printf '%s\n' "${COMPREPLY[@]}"
}

# expect LINE WORD...: every WORD is among the replies ("!WORD": is not).
expect() {
  local line=$1 got w
  shift
  got=$(complete_line "$line")
  for w in "$@"; do
    checks=$((checks + 1))
    if [[ $w == !* ]]; then
      grep -qxF -- "${w#!}" <<<"$got" || continue
    else
      ! grep -qxF -- "$w" <<<"$got" || continue
    fi
    echo "FAILED: '$line' -> expected ${w}; got: $(tr '\n' ' ' <<<"$got")"
    failures=$((failures + 1))
  done
}

cli=$bin/tarvio-cli
expect "$cli ca" calc call '!config'
expect "$cli --quiet ve" verify
expect "$cli help dow" download
expect "$cli calc --ra" --rate '!--file'
expect "$cli download --fi" --file
expect "$cli download --ra" --rate
expect "$cli calc --set dataR" dataRate=
expect "$cli calc --set=dataR" dataRate=
expect "$cli download --set MACheader.Contents.Addr" MACheader.Contents.Address1.Contents= '!dataRate='
expect "$cli calc --sig Sampl" SamplingRate= '!dataRate='
expect "$cli config --set TCPIP.add" TCPIP.address= '!dataRate='
expect "$cli fields FilterT" FilterType

# Every field of the parameter set completes after calc --set.
mapfile -t fields < <("$cli" fields --markdown | awk '/^## /{r=$2} r=="parameters" && /^\| `/{split($0,f,"`"); print f[2]"="}')
checks=$((checks + 1))
if [[ ${#fields[@]} -lt 50 ]]; then
  echo "FAILED: fields --markdown lists ${#fields[@]} parameter fields"
  failures=$((failures + 1))
fi
expect "$cli calc --set " "${fields[@]}"

# A record added to the field list completes without a change to the script.
stub=$(mktemp -d)
trap 'rm -rf "$stub"' EXIT
cat >"$stub/tarvio-cli" <<STUB
#!/usr/bin/env bash
if [[ "\$*" == "fields --markdown" ]]; then
  "$cli" fields --markdown
  printf '\n## Impairments\n\nSet with \`tarvio-cli calc --set FIELD=VALUE\`.\n\n| Field | Meaning |\n|---|---|\n| \`Impairments.gainImbalance\` | x |\n'
else
  exec "$cli" "\$@"
fi
STUB
chmod +x "$stub/tarvio-cli"
expect "$stub/tarvio-cli calc --set Imp" Impairments.gainImbalance= '!dataRate='

echo "$((checks - failures)) passed, $failures failed"
[[ $failures -eq 0 ]]
