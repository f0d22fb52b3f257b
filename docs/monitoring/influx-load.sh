#!/bin/sh
# influx-load.sh DATABASE FILE.dlf [convert options...]
# Loads a data file (a `monitor --record` file, a logger set, an old
# recording) into InfluxDB 1.x: converted to line protocol, given the two
# header lines `influx -import` wants, imported at nanosecond precision.
# Options after the file go to `termohigrometro-cli convert`, e.g.
#   influx-load.sh termohigrometro sala1.dlf --tag instrument=sala1 --tz America/Sao_Paulo
# INFLUX_ARGS passes options to influx (-host, -port, -username ...).
set -eu
db=${1:?usage: influx-load.sh DATABASE FILE.dlf [convert options...]}
file=${2:?usage: influx-load.sh DATABASE FILE.dlf [convert options...]}
shift 2
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
termohigrometro-cli convert "$file" -o "$tmp/records.lp" --format influx "$@"
{
    printf '# DML\n# CONTEXT-DATABASE: %s\n' "$db"
    cat "$tmp/records.lp"
} > "$tmp/import.txt"
# shellcheck disable=SC2086 # INFLUX_ARGS is a list of options
influx ${INFLUX_ARGS:-} -execute "CREATE DATABASE \"$db\""
# shellcheck disable=SC2086
influx ${INFLUX_ARGS:-} -import -path "$tmp/import.txt" -precision ns
