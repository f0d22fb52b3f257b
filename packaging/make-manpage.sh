#!/bin/sh
# Builds the manual page of termohigrometro-cli from its own --help texts.
# usage: make-manpage.sh PATH/TO/termohigrometro-cli OUT.1
set -eu
cli=$1
out=$2
version=$("$cli" --version | awk '{print $2}')
esc() { sed -e 's/\\/\\\\/g' -e 's/^\./\\\&./' -e "s/^'/\\\\\\&'/" -e 's/-/\\-/g'; }
{
    echo ".TH TERMOHIGROMETRO-CLI 1 \"\" \"termohigrometro-cli $version\" \"User Commands\""
    echo ".SH NAME"
    echo "termohigrometro-cli \\- thermo-hygrometer tool: live readings, recording, logger, settings, reports, charts"
    echo ".SH SYNOPSIS"
    echo ".B termohigrometro-cli"
    printf '%s\n' '\fICOMMAND\fR [\fIOPTIONS\fR]'
    echo ".SH DESCRIPTION"
    echo ".nf"
    "$cli" --help | esc
    echo ".fi"
    echo ".SH COMMANDS"
    for c in $("$cli" --help | awk '/^Commands:/{f=1;next} /^$/{f=0} f{print $1}'); do
        echo ".SS $c"
        echo ".nf"
        "$cli" "$c" --help | esc
        echo ".fi"
    done
    echo ".SH EXIT STATUS"
    echo "0 success; 1 a file could not be read or written; 2 bad arguments; 3 the instrument did not answer in time;"
    echo "4 the port could not be opened; 5 the instrument refused the command; 6 a verification failed (verify, audit verify)."
    echo ".SH SEE ALSO"
    echo ".BR termohigrometro (1)"
} > "$out"
