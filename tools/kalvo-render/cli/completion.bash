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
            # The names in the table under "Settings" in --help (indented lines, up to
            # the next blank line): the words in mixed case with two capitals or more,
            # panel names and parameter names alike.
            local names
            names=$("$1" --help 2>/dev/null |
                awk '/^Settings/ { on = 1; next }
                     on && /^$/ { exit }
                     on && /^  / { gsub(/[(),:]/, " ")
                                   for (i = 1; i <= NF; i++)
                                       if ($i ~ /^[A-Z][A-Za-z]+$/ && $i ~ /[a-z]/ && $i ~ /[A-Z].*[A-Z]/) print $i "=" }')
            COMPREPLY=($(compgen -W "$names" -- "$cur"))
            compopt -o nospace
            return
            ;;
        --layout)
            COMPREPLY=($(compgen -W "5.1 stereo ambix fuma binaural" -- "$cur"))
            return
            ;;
        --hrtf)
            _filedir sofa
            return
            ;;
        --side-gain | --gain | --normalize | --yaw | --pitch | --roll)
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
        --block | --jobs | --name | --tracks)
            return
            ;;
        --out-dir)
            _filedir -d
            return
            ;;
        --snapshot)
            _filedir png
            return
            ;;
    esac
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W '$(_parse_help "$1" | sort -u)' -- "$cur"))
        return
    fi
    _filedir
}
complete -F _kalvo_render kalvo-render
