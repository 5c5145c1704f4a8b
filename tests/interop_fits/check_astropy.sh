#!/bin/sh
# check_astropy.sh PREPARE SCRIPT [ARG...]: runs PREPARE FOLDER (unless it is
# "-"), then SCRIPT FOLDER ARG... with a Python that has astropy (the system
# one first: a user's own Python may lack it). Exit 77 when none.
set -u
prepare=$1 script=$2
shift 2
for py in /usr/bin/python3 python3; do
    if command -v "$py" >/dev/null 2>&1 && "$py" -c "import astropy, numpy" 2>/dev/null; then
        work=$(mktemp -d)
        trap 'rm -rf "$work"' EXIT
        if [ "$prepare" != "-" ]; then
            "$prepare" "$work" || { echo "$prepare failed"; exit 1; }
        fi
        "$py" "$script" "$work" "$@"
        exit $?
    fi
done
echo "no Python with astropy"
exit 77
