# bash completion for morvexc

_morvexc()
{
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]}
    local command=make word i
    [[ $COMP_CWORD -gt 1 && ${COMP_WORDS[1]} == @(make|show|check|apply) ]] && command=${COMP_WORDS[1]}
    for ((i = 1; i < COMP_CWORD; i++)); do
        word=${COMP_WORDS[i]}
        if [[ $word == -- ]]; then
            COMPREPLY=($(compgen -f -- "$cur"))
            return
        fi
    done
    case $prev in
        --code-page)
            COMPREPLY=($(compgen -W '874 932 936 949 950 1250 1251 1252 1253 1254 1255 1256 1257 1258 20127 28591' -- "$cur"))
            return
            ;;
        --undo)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
    esac
    if [[ $cur == -* ]]; then
        local options='--code-page --help --version --'
        [[ $command == apply ]] && options+=' --force --any-name --undo'
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
    elif [[ $COMP_CWORD -eq 1 ]]; then
        COMPREPLY=($(compgen -W 'make show check apply' -- "$cur") $(compgen -f -- "$cur"))
    else
        COMPREPLY=($(compgen -f -- "$cur"))
    fi
}
complete -o filenames -F _morvexc morvexc
