# bash completion for kalvo-render.
# shellcheck disable=SC2034,SC2207,SC2016 # the usual forms of completion functions
# The options and the parameter names come from the program's own --help, so
# the completion knows whatever the installed program accepts.

_kalvo_render()
{
    local cur prev words cword split
    _init_completion -s || return

    case $prev in
        --set)
            # The names listed under "Parameters ..." in --help, up to the next blank line.
            local names
            names=$("$1" --help 2>/dev/null |
                awk '/^Parameters/ { on = 1; next } on && /^$/ { exit } on && /^  [A-Za-z]/ { print $1 "=" }')
            COMPREPLY=($(compgen -W "$names" -- "$cur"))
            compopt -o nospace
            return
            ;;
        --preset)
            COMPREPLY=($(compgen -W "1 2 3 4 5" -- "$cur"))
            return
            ;;
        --bits)
            COMPREPLY=($(compgen -W "16 24 32 64" -- "$cur"))
            return
            ;;
        --precision)
            COMPREPLY=($(compgen -W "single double" -- "$cur"))
            return
            ;;
        --order)
            COMPREPLY=($(compgen -W "FSR FRS SFR SRF RFS RSF" -- "$cur"))
            return
            ;;
        --block)
            return
            ;;
        --snapshot)
            _filedir png
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1")' -- "$cur"))
        return
    fi
    _filedir
}
complete -F _kalvo_render kalvo-render
