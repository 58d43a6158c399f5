# SPDX-License-Identifier: GPL-3.0-or-later
# Shared by run.sh and scripts/screenshot.sh (sourced): the demo settings and simulated units.

# demo_settings CONFIG_DIR TIMER_TYPE INTERVAL_MS: both simulated units in use on COM1 and COM2,
# written only when the folder holds no acquisition settings yet.
demo_settings() {
  local ini="$1/K12INC/K12INC.ini"
  mkdir -p "$1/K12INC"
  grep -q '^\[MeasInfo\]' "$ini" 2>/dev/null && return 0
  cat >>"$ini" <<INI
[MeasInfo]
Mflag1=True
Mflag2=True
Mflag3=False
Mflag4=False
CommPort1=1
CommPort2=2
CommPort3=3
CommPort4=4
TimerType=$2
IntervalTM=$3
INI
}

# start_units BIN_DIR OUTPUT_FILE: two units (sine, ramp) registered as COM1 and COM2 in the
# settings under $XDG_CONFIG_HOME, through links in the folder "units" beside OUTPUT_FILE (so a
# unit that hangs up and comes back is found again); K12_SIM_ARGS adds simulator options. Sets
# UNITS_PID and returns once both devices are listed.
start_units() {
  # shellcheck disable=SC2086 # K12_SIM_ARGS is a list of options
  "$1/k12inc-unit-sim" --units 2 --com 1,2 --wave sine,ramp --link "$(dirname "$2")/units" \
    ${K12_SIM_ARGS:-} >"$2" 2>&1 &
  UNITS_PID=$!
  for _ in $(seq 50); do
    [ "$(grep -c '^COM' "$2" 2>/dev/null)" -ge 2 ] 2>/dev/null && return 0
    kill -0 "$UNITS_PID" 2>/dev/null || break
    sleep 0.1
  done
  cat "$2" >&2
  echo "the unit simulator did not start" >&2
  return 1
}
