# Bash completion for vantrel-cli: its commands, their options, the
# favourites keys after --set and the values some options take. Options
# and keys are asked of the program itself, so they never go stale.

_vantrel_cli_options() {
    vantrel-cli --help 2>/dev/null | grep -oE '(^| )--[a-z][a-z-]*' | tr -d ' ' | sort -u
}

_vantrel_cli_keys() {
    # "Section/Key" at the start of each key line of `vantrel-cli keys`, up
    # to the blanks before its description (keys may hold single blanks).
    vantrel-cli keys 2>/dev/null | awk -F '  +' 'NF > 1 && /^[^ ]/ && $1 ~ /\// { print $1 }'
}

_vantrel_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]}
    local prev=
    [ "$COMP_CWORD" -gt 0 ] && prev=${COMP_WORDS[COMP_CWORD - 1]}
    local IFS=$'\n'
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W $'names\npreview\nrename\nundo\ntaken\nsave-favourite\nkeys\n--help\n--version' -- "$cur"))
        return
    fi
    case $prev in
    --favourite | --journal)
        COMPREPLY=($(compgen -f -- "$cur"))
        return ;;
    --new-location | --folder)
        COMPREPLY=($(compgen -d -- "$cur"))
        return ;;
    --set)
        # Keys may hold blanks ("Auto Date/Mode"): offered whole, up to the
        # "=", with their blanks escaped so that they stay one word.
        local key
        COMPREPLY=()
        for key in $(compgen -W "$(_vantrel_cli_keys | sed 's/$/=/')" -- "${cur//\\/}"); do
            COMPREPLY+=("${key// /\\ }")
        done
        compopt -o nospace 2>/dev/null
        return ;;
    --sort)
        COMPREPLY=($(compgen -W $'name\nnewname\nsubdir\ntype\nsize\ncreated\nmodified\nlength\ntaken' -- "$cur"))
        return ;;
    --on-error)
        COMPREPLY=($(compgen -W $'skip\nstop' -- "$cur"))
        return ;;
    esac
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$(_vantrel_cli_options)" -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}

complete -F _vantrel_cli vantrel-cli
