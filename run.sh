#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Installs what is missing, builds, and runs the program against two simulated units
# (COM1 and COM2) in a demo settings folder, so the operator's own settings and unsaved runs
# stay untouched.
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
. "$top/scripts/demo-lib.sh"
# First demo run: both simulated units in use, PC timer, one second.
demo_settings "$demo/config" True 1000
export XDG_CONFIG_HOME="$demo/config"
# The demo's run journal (unsaved runs) stays in the demo folder too.
export XDG_STATE_HOME="$demo/state"

UNITS_PID=
trap '[ -n "$UNITS_PID" ] && { kill "$UNITS_PID" 2>/dev/null; wait "$UNITS_PID" 2>/dev/null; }; true' EXIT
start_units "$top/build/bin" "$demo/simulator.txt"
echo "Simulated units:"
sed 's/^/  /' "$demo/simulator.txt"
"$top/build/bin/k12inc"
