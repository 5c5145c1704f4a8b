#!/usr/bin/env bash
# check_lx200generic.sh SIM: INDI's generic LX200 driver, pointed at the
# simulator's PC serial port, must connect, read the pointing the simulator
# really has, slew to new co-ordinates and guide by guide rate x duration.
# Exit 77 when INDI's server, driver or tools are not installed.
set -u
sim=$1
for tool in indiserver indi_lx200generic indi_getprop indi_setprop; do
    command -v "$tool" >/dev/null 2>&1 || { echo "$tool not installed"; exit 77; }
done

GUIDE_RATE=0.5     # multiples of sidereal
SIDEREAL=15.041    # arcsec of RA axis a second
HMS=$(awk 'BEGIN { print 1.5 / 3600 }') # a little over the last digit of HH:MM:SS / DD:MM:SS

work=$(mktemp -d)
sim_pid="" server_pid=""
cleanup() {
    for p in $server_pid $sim_pid; do kill "$p" 2>/dev/null; done
    for p in $server_pid $sim_pid; do wait "$p" 2>/dev/null; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAIL: $*"
    echo "--- simulator log (last lines)"; tail -n 40 "$work/sim.log"
    echo "--- indiserver log"; tail -n 20 "$work/indi.log" 2>/dev/null
    exit 1
}
# wait_until SECONDS COMMAND...: polls COMMAND until it succeeds.
wait_until() {
    local end=$((SECONDS + $1)); shift
    until "$@"; do
        [ $SECONDS -ge $end ] && return 1
        sleep 0.2
    done
}
near() { awk -v a="$1" -v b="$2" -v tol="$3" 'BEGIN { d = a - b; if (d < 0) d = -d; exit !(d <= tol) }'; }

export HOME="$work/home" # the simulator's link and INDI's configuration live here
mkdir -p "$HOME/autosave"

# The simulator, still: no periodic error, drift or backlash.
"$sim" --com 7 --pe 0 --backlash 0,0 --drift 0,0 --guide-rate $GUIDE_RATE --ra 16:41:42 --dec 36:27:36 \
    >"$work/sim.log" 2>&1 &
sim_pid=$!
wait_until 10 grep -q "^Ready" "$work/sim.log" || fail "the simulator did not start"
pty=$(readlink "$HOME/autosave/com7") || fail "no com7 link"

# The true pointing, from the simulator itself.
true_pointing() {
    local before after
    before=$(grep -c "pointing RA" "$work/sim.log")
    kill -USR1 "$sim_pid"
    wait_until 5 sh -c "[ \$(grep -c 'pointing RA' '$work/sim.log') -gt $before ]" ||
        fail "the simulator does not report its pointing"
    after=$(grep "pointing RA" "$work/sim.log" | tail -n 1)
    TRUE_RA=$(echo "$after" | awk '{ for (i = 1; i < NF; ++i) if ($i == "RA") print $(i + 1) }')
    TRUE_DEC=$(echo "$after" | awk '{ for (i = 1; i < NF; ++i) if ($i == "Dec") print $(i + 1) }')
}

# indiserver on the first free port of a few.
port=""
for try in 0 1 2 3 4 5 6 7 8 9; do
    p=$((7700 + (($$ + try * 37) % 1000)))
    indiserver -p "$p" indi_lx200generic >"$work/indi.log" 2>&1 &
    server_pid=$!
    if wait_until 5 indi_getprop -p "$p" -t 1 "*.DRIVER_INFO.DRIVER_EXEC" >/dev/null 2>&1; then
        port=$p
        break
    fi
    kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null; server_pid=""
done
[ -n "$port" ] || fail "indiserver did not start"
get() { indi_getprop -p "$port" -t 2 -1 "$dev.$1" 2>/dev/null; }
set_prop() { indi_setprop -p "$port" -t 2 "$dev.$1" || fail "cannot set $1"; }
dev=$(indi_getprop -p "$port" -t 2 "*.DRIVER_INFO.DRIVER_EXEC" | sed -n 's/\.DRIVER_INFO\.DRIVER_EXEC=indi_lx200generic$//p' | head -n 1)
[ -n "$dev" ] || fail "no LX200 device on the server"
echo "device \"$dev\", port $port, simulator's terminal $pty"

# Connect on the simulator's terminal and nowhere else.
set_prop "DEVICE_AUTO_SEARCH.INDI_DISABLED=On"
set_prop "DEVICE_PORT.PORT=$pty"
set_prop "CONNECTION.CONNECT=On"
connected() { [ "$(get CONNECTION._STATE)" = Ok ] && [ "$(get CONNECTION.CONNECT)" = On ] && [ -n "$(get EQUATORIAL_EOD_COORD.RA)" ]; }
wait_until 30 connected || fail "the driver did not connect"
echo "ok: connected"

# What INDI reads is where the telescope points.
# readback TOL: INDI's RA/Dec after its next poll equal the true pointing.
readback() {
    true_pointing
    agrees() {
        near "$(get EQUATORIAL_EOD_COORD.RA)" "$TRUE_RA" "$1" && near "$(get EQUATORIAL_EOD_COORD.DEC)" "$TRUE_DEC" "$1"
    }
    wait_until 10 agrees "$1" ||
        fail "INDI reads $(get EQUATORIAL_EOD_COORD.RA) $(get EQUATORIAL_EOD_COORD.DEC), the simulator points at $TRUE_RA $TRUE_DEC"
}
readback "$HMS"
near "$TRUE_RA" 16.695 "$HMS" && near "$TRUE_DEC" 36.46 "$HMS" || fail "the start pointing is $TRUE_RA $TRUE_DEC"
echo "ok: pointing reads back ($TRUE_RA h, $TRUE_DEC deg)"

# A GoTo arrives and reads back.
set_prop "ON_COORD_SET.TRACK=On"
set_prop "EQUATORIAL_EOD_COORD.RA;DEC=17.25;40.5"
arrived() {
    [ "$(get EQUATORIAL_EOD_COORD._STATE)" = Ok ] && near "$(get EQUATORIAL_EOD_COORD.RA)" 17.25 "$HMS" &&
        near "$(get EQUATORIAL_EOD_COORD.DEC)" 40.5 "$HMS"
}
wait_until 40 arrived || fail "the slew did not arrive: INDI reads $(get EQUATORIAL_EOD_COORD.RA) $(get EQUATORIAL_EOD_COORD.DEC)"
readback "$HMS"
near "$TRUE_RA" 17.25 "$HMS" && near "$TRUE_DEC" 40.5 "$HMS" || fail "the slew ended at $TRUE_RA $TRUE_DEC"
grep -q ":MS#" "$work/sim.log" || fail "no GoTo command reached the mount"
echo "ok: slew arrived"

# Timed guide pulses move by guide rate x duration (within a tenth: INDI
# times the move commands itself).
guided() { [ "$(get "$1._STATE")" != Busy ]; }
ra0=$TRUE_RA dec0=$TRUE_DEC
set_prop "TELESCOPE_TIMED_GUIDE_WE.TIMED_GUIDE_W;TIMED_GUIDE_E=0;1000"
sleep 0.3
wait_until 10 guided TELESCOPE_TIMED_GUIDE_WE || fail "the east pulse did not end"
sleep 0.3
true_pointing
want=$(awk -v r=$GUIDE_RATE -v s=$SIDEREAL 'BEGIN { print r * s * 1.0 / 15 / 3600 }')
moved=$(awk -v a="$TRUE_RA" -v b="$ra0" 'BEGIN { print a - b }')
near "$moved" "$want" "$(awk -v w="$want" 'BEGIN { print w / 10 }')" || fail "a 1000 ms east pulse moved RA by $moved h, not $want"
near "$TRUE_DEC" "$dec0" 1e-6 || fail "an east pulse moved Dec"
echo "ok: east pulse moved RA by $moved h"

# The same north, with the mount timing it (:Mg).
set_prop "Use Pulse Cmd.On=On"
ra0=$TRUE_RA dec0=$TRUE_DEC
set_prop "TELESCOPE_TIMED_GUIDE_NS.TIMED_GUIDE_N;TIMED_GUIDE_S=1000;0"
sleep 0.3
wait_until 10 guided TELESCOPE_TIMED_GUIDE_NS || fail "the north pulse did not end"
wait_until 5 grep -q ":Mgn1000#" "$work/sim.log" || fail "no pulse-guide command reached the mount"
sleep 0.3
true_pointing
want=$(awk -v r=$GUIDE_RATE -v s=$SIDEREAL 'BEGIN { print r * s * 1.0 / 3600 }')
moved=$(awk -v a="$TRUE_DEC" -v b="$dec0" 'BEGIN { print a - b }')
near "$moved" "$want" "$(awk -v w="$want" 'BEGIN { print w / 100 }')" || fail "a 1000 ms north pulse moved Dec by $moved deg, not $want"
near "$TRUE_RA" "$ra0" 1e-6 || fail "a north pulse moved RA"
readback "$HMS"
echo "ok: north pulse moved Dec by $moved deg"

echo "what the driver sent:"
sed -n 's/.*PC serial: \(:[^ ]*#\|ACK\).*/\1/p' "$work/sim.log" | awk '!seen[$0]++' | tr '\n' ' '
echo
exit 0
