#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Takes docs/screenshot-run.png: the main window eight seconds into a measurement of two
# simulated units (sine on COM1, ramp on COM2), on a private virtual display and with a private
# settings folder, so neither the desktop nor the operator's settings are touched.
# Usage: scripts/screenshot.sh [output.png]   (K12_BUILD_DIR overrides the build folder)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/docs/screenshot-run.png}")
build=${K12_BUILD_DIR:-$top/build}

"$top/scripts/ensure-deps.sh"
# The screenshot's own tools stay out of the project's package list.
extras=()
command -v Xvfb >/dev/null || extras+=(xvfb)
command -v xdotool >/dev/null || extras+=(xdotool)
command -v import >/dev/null || extras+=(imagemagick)
if [ ${#extras[@]} -gt 0 ]; then
  sudo=()
  [ "$(id -u)" -ne 0 ] && sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get install -y --no-install-recommends "${extras[@]}"
fi

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$build" --target k12inc k12inc-unit-sim --parallel "$(nproc)"

work=$(mktemp -d)
pids=()
cleanup() {
  # Newest first: the program, then the simulator, then the display.
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT

# Xvfb picks a free display number and writes it to fd 3.
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || { cat "$work/xvfb.log" >&2; echo "Xvfb did not start" >&2; exit 1; }
DISPLAY=":$(head -n1 "$work/display")"
export DISPLAY
unset WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb
# The picture shows the window in its own language (Japanese), whatever the caller's locale.
unset LANGUAGE LC_MESSAGES
export LC_ALL=C.UTF-8

# Both units in use on the device timer, averaging two readings (200 ms), for a smooth chart.
. "$top/scripts/demo-lib.sh"
demo_settings "$work/config" False 200
export XDG_CONFIG_HOME="$work/config"
export HOME="$work"

start_units "$build/bin" "$work/sim.txt"
pids+=("$UNITS_PID")

"$build/bin/k12inc" >"$work/k12inc.log" 2>&1 &
pids+=($!)
if ! win=$(timeout 20 xdotool search --sync --onlyvisible --name '^ZORV-K12INC$' | head -n1) ||
  [ -z "$win" ]; then
  cat "$work/k12inc.log" >&2
  echo "the main window did not appear" >&2
  exit 1
fi
sleep 1

# The window is the fixed 12375 x 8985 twip client area; "開始" is centred at (9967, 427) twips.
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove --window "$win" $((WIDTH * 9967 / 12375)) $((HEIGHT * 427 / 8985)) click 1
sleep 8

mkdir -p "$(dirname "$out")"
import -window "$win" -strip "png:$work/shot.png"
# A palette image keeps the file small; the window has few colours.
convert "$work/shot.png" -colors 256 -strip "png8:$out"
echo "Saved $out ($(stat -c %s "$out") bytes)"
