#!/usr/bin/env bash
# Installs what is missing, builds, and runs the program against two simulated units
# (COM1 and COM2) in a demo settings folder, so the operator's own settings stay untouched.
set -euo pipefail
top=$(cd "$(dirname "$0")" && pwd)
"$top/scripts/ensure-deps.sh"
"$top/scripts/build.sh"

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "run.sh: no display found (DISPLAY and WAYLAND_DISPLAY are empty)." >&2
  echo "Run it on a desktop, or under a virtual display: xvfb-run -a ./run.sh" >&2
  exit 1
fi

demo="$top/build/demo"
mkdir -p "$demo/config/K12INC"
ini="$demo/config/K12INC/K12INC.ini"
# First demo run: both simulated units in use, PC timer, one second.
if ! grep -q '^\[MeasInfo\]' "$ini" 2>/dev/null; then
  cat >> "$ini" <<'INI'
[MeasInfo]
Mflag1=True
Mflag2=True
Mflag3=False
Mflag4=False
CommPort1=1
CommPort2=2
CommPort3=3
CommPort4=4
TimerType=True
IntervalTM=1000
INI
fi
export XDG_CONFIG_HOME="$demo/config"

sim_out="$demo/simulator.txt"
"$top/build/bin/k12inc-unit-sim" --units 2 --com 1,2 --wave sine,ramp >"$sim_out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; wait "$sim" 2>/dev/null || true' EXIT
for _ in $(seq 50); do
  [ "$(grep -c '^COM' "$sim_out" 2>/dev/null)" -ge 2 ] && break
  kill -0 "$sim" 2>/dev/null || { cat "$sim_out" >&2; exit 1; }
  sleep 0.1
done
echo "Simulated units:"
sed 's/^/  /' "$sim_out"
"$top/build/bin/k12inc"
