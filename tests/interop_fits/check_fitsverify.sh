#!/bin/sh
# check_fitsverify.sh WRITER: fitsverify must report no warning and no error
# on any file the writer makes. Exit 77 when fitsverify is not installed.
set -u
command -v fitsverify >/dev/null 2>&1 || { echo "fitsverify not installed"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$1" "$work" || { echo "writer failed"; exit 1; }
status=0
for f in "$work"/*.fit; do
    out=$(fitsverify -l "$f" 2>&1)
    if ! printf '%s\n' "$out" | grep -q "Verification found 0 warning(s) and 0 error(s)"; then
        printf '%s\n' "$out"
        echo "FAIL: $(basename "$f")"
        status=1
    else
        echo "ok: $(basename "$f")"
    fi
done
exit $status
