#!/usr/bin/env bash
# The bash completion of vantrel-cli, driven as bash drives it.
#   Completion_test.sh COMPLETION-SCRIPT FOLDER-OF-vantrel-cli
set -u
PATH="$2:$PATH"
source "$1"
failures=0
complete_words() { # the command line so far, the last word being completed
    COMP_WORDS=("$@")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _vantrel_cli
}
expect() { # what, then the candidate that must be offered
    local what=$1 want=$2 got
    for got in "${COMPREPLY[@]}"; do
        [ "$got" = "$want" ] && return
    done
    echo "FAIL: $what: no '$want' among: ${COMPREPLY[*]}"
    failures=$((failures + 1))
}
complete_words vantrel-cli pre
expect "a command" preview
complete_words vantrel-cli rename --ov
expect "an option" --overwrite
complete_words vantrel-cli names --set Case/
expect "a key" "Case/Change="
complete_words vantrel-cli names --set 'Regular\ Expressions/Match\ C'
expect "a key with blanks" 'Regular\ Expressions/Match\ Case='
complete_words vantrel-cli preview --sort na
expect "a sort column" name
complete_words vantrel-cli rename --on-error s
expect "an error answer" skip
[ "$failures" -eq 0 ] && echo "completion: all offered"
exit "$failures"
