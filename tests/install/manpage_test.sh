#!/usr/bin/env bash
# keydb(1) names every command and option keydb's help shows, and
# `keydb help COMMAND` prints what `keydb COMMAND --help` does.
# Arguments: KEYDB MANPAGE
source "$(dirname "$0")/common.sh"
keydb=$1 page=$2

# The page's words without roff's escapes: \- is a hyphen, \fX a font.
text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$page")
# Options as help lists them: -h, --json, --so-pin.
options() { grep -oE -- '(^|[ ,[])--?[a-z][a-z-]*' | sed 's/^[ ,[]//' | sort -u; }

help=$("$keydb" --help)
commands=$(sed -n '/^Subcommands:/,/^$/p' <<<"$help" | awk 'NR > 1 && NF { print $1 }')
[[ -n $commands ]] || fail "no commands in keydb --help"
for command in $commands; do
    grep -qE "(^|[^a-z-])$command([^a-z-]|$)" <<<"$text" || fail "command $command not in $page"
done
for option in $(options <<<"$help"); do
    grep -qF -- "$option" <<<"$text" || fail "option $option of keydb --help not in $page"
done
for command in $commands; do
    [[ $command == help ]] && continue
    command_help=$("$keydb" "$command" --help)
    for option in $(options <<<"$command_help"); do
        grep -qE -- "(^|[^a-z-])$option([^a-z-]|$)" <<<"$text" || fail "option $option of $command not in $page"
    done
    [[ $("$keydb" help "$command") == "$command_help" ]] || fail "keydb help $command differs from keydb $command --help"
done
