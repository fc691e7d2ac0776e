#!/usr/bin/env bash
# Checks that the kelvo-cli man page and bash completion name every command,
# option and service switch that `kelvo-cli --help` lists, so the three stay
# in step when the options change. Usage: check_cli_docs.sh KELVO_CLI MAN_PAGE COMPLETION
set -euo pipefail
cli=$1 man=$2 completion=$3

help=$("$cli" --help)
# The man page's text with troff escapes and font changes taken out.
man_text=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' "$man")

commands=$(sed -n '/^Commands:/,/^$/p' <<<"$help" | grep -E '^  [a-z]' | awk '{print $1}')
long_options=$(grep -oE -- '--[a-z][a-z0-9-]*' <<<"$help" | sort -u)
switches=$(sed -n '/^Service switches/,/^$/p' <<<"$help" | grep -oE -- '-[A-Za-z0-9]+' |
    sed -E 's/(FACTOR|NAME)$//' | sort -u)

[ -n "$commands" ] && [ -n "$long_options" ] && [ -n "$switches" ] ||
    { echo "could not read the commands, options and switches from --help"; exit 1; }

missing=0
for word in $commands $long_options $switches; do
    # Whole words only: -pintest must not be found inside --no-pintest.
    if ! grep -qE -- "(^|[^A-Za-z0-9-])${word}([^A-Za-z0-9-]|$)" <<<"$man_text"; then
        echo "man page lacks $word"
        missing=1
    fi
    if ! grep -qE -- "(^|[ \"|])${word}([ \"|)]|$)" "$completion"; then
        echo "bash completion lacks $word"
        missing=1
    fi
done
count=$(wc -w <<<"$commands $long_options $switches")
[ $missing -eq 0 ] && echo "kelvo-cli man page and completion cover all $count words of --help"
exit $missing
