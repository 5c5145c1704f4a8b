#!/bin/sh
# capture_e2e.sh SIM CLI CHECK: starts SIM in a fresh home, takes a 3-image
# series with CLI, and has CHECK read the files with astropy (the system
# Python first: a user's own may lack it). Exit 77 when no Python has astropy.
set -u
py=""
for p in /usr/bin/python3 python3; do
    if command -v "$p" >/dev/null 2>&1 && "$p" -c "import astropy, numpy" 2>/dev/null; then
        py=$p
        break
    fi
done
if [ -z "$py" ]; then
    echo "no Python with astropy"
    exit 77
fi

work=$(mktemp -d)
sim_pid=""
cleanup() {
    if [ -n "$sim_pid" ]; then
        kill "$sim_pid" 2>/dev/null
        wait "$sim_pid" 2>/dev/null
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

HOME=$work "$1" --quiet --readout-rate 0 --com 0 >"$work/sim.log" 2>&1 &
sim_pid=$!
# The sockets exist once it says it is ready.
tries=0
until grep -q '^Ready' "$work/sim.log" 2>/dev/null; do
    tries=$((tries + 1))
    if [ "$tries" -gt 100 ] || ! kill -0 "$sim_pid" 2>/dev/null; then
        echo "the simulator did not start:"
        cat "$work/sim.log"
        exit 1
    fi
    sleep 0.1
done
# "nocteris-sim: camera model 2 (product id 0122), 1392 x 1040 pixels"
size=$(sed -n 's/^nocteris-sim: camera model .*, \([0-9]*\) x \([0-9]*\) pixels$/\1 \2/p' "$work/sim.log")

if ! HOME=$work "$2" capture --count 3 --range q --value 5 --out "$work/out"; then
    echo "capture failed"
    exit 1
fi
"$py" "$3" "$work/out" $size
