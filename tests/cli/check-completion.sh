#!/usr/bin/env bash
# The bash completion of orbiqa-cli, driven as bash drives it: commands, options, field names.
# Skipped (77) where the bash-completion framework is missing.
set -o pipefail
build=$(cd "$1" && pwd)
source_dir=$2
framework=/usr/share/bash-completion/bash_completion
[ -f "$framework" ] || { echo "bash-completion not installed"; exit 77; }
# shellcheck disable=SC1090
source "$framework"
source "$source_dir/packaging/bash-completion/orbiqa-cli"
PATH=$build/bin:$PATH
cd "$(mktemp -d)" || exit 1

complete_words() {
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMP_LINE="${COMP_WORDS[*]}"
    COMP_POINT=${#COMP_LINE}
    COMPREPLY=()
    _orbiqa_cli 2> /dev/null
    echo "${COMPREPLY[*]}"
}

failures=0
expect() {
    local want=$1
    shift
    local got
    got=$(complete_words "$@")
    if [[ $got != "$want" ]]; then
        echo "FAIL: '$*' completes to '$got', not '$want'" >&2
        failures=$((failures + 1))
    fi
}

expect "provision" orbiqa-cli prov
expect "status show set site" orbiqa-cli s
expect "history" orbiqa-cli site hi
expect "init" orbiqa-cli db i
expect "USER1 USER2" orbiqa-cli get x.VR3 US
expect "CallMax=" orbiqa-cli set x.VR3 CallM
expect "--set" orbiqa-cli provision t.VR3 --se
expect "--verify" orbiqa-cli -p COM5 write x.VR3 --ve
expect "-p --port --site --db -h --help" orbiqa-cli read x.VR3 -
[ "$failures" -eq 0 ] && echo "completion OK"
exit "$failures"
