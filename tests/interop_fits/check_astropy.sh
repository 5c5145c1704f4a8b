#!/bin/sh
# check_astropy.sh WRITER SCRIPT: runs SCRIPT with a Python that has astropy
# (the system one first: a user's own Python may lack it). Exit 77 when none.
set -u
for py in /usr/bin/python3 python3; do
    if command -v "$py" >/dev/null 2>&1 && "$py" -c "import astropy, numpy" 2>/dev/null; then
        work=$(mktemp -d)
        trap 'rm -rf "$work"' EXIT
        "$1" "$work" || { echo "writer failed"; exit 1; }
        "$py" "$2" "$work"
        exit $?
    fi
done
echo "no Python with astropy"
exit 77
