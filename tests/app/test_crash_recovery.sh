#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Usage: test_crash_recovery.sh BIN_DIR
# The real program on a private virtual display with two simulated units: killed with SIGKILL a
# few PC-timer rows into a run, started again, it offers the rows back and reads them in.
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail
bin=$(realpath "$1")
command -v Xvfb >/dev/null && command -v xdotool >/dev/null || {
  echo "SKIP: needs Xvfb and xdotool"
  exit 77
}

work=$(mktemp -d)
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do
    kill -9 "${pids[i]}" 2>/dev/null || true
    wait "${pids[i]}" 2>/dev/null || true
  done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/*.log; do
    echo "--- $f" >&2
    cat "$f" >&2
  done
  exit 1
}
# wait_for SECONDS COMMAND...: polls COMMAND every 0.1 s.
wait_for() {
  local limit=$(($1 * 10))
  shift
  for ((t = 0; t < limit; t++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
wait_for 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")" QT_QPA_PLATFORM=xcb
unset WAYLAND_DISPLAY
export HOME=$work XDG_CONFIG_HOME=$work/config XDG_STATE_HOME=$work/state
journal=$XDG_STATE_HOME/K12INC/current-run.zr5

# Both units in use on COM1 and COM2, PC timer, one second: the demo's settings.
. "$(dirname "$0")/../../scripts/demo-lib.sh"
demo_settings "$XDG_CONFIG_HOME" True 1000
"$bin/k12inc-unit-sim" --units 2 --com 1,2 --wave counter >"$work/sim.log" 2>&1 &
pids+=($!)
sim_ready() { [ "$(grep -c '^COM' "$work/sim.log")" -ge 2 ]; }
wait_for 10 sim_ready || fail "the simulator did not start"

# main_window: waits for the program's main window (the largest window with its title).
main_window() {
  local id best= area=0
  for id in $(xdotool search --onlyvisible --name '^ZORV-K12INC$' 2>/dev/null); do
    eval "$(xdotool getwindowgeometry --shell "$id")"
    if ((WIDTH * HEIGHT > area)); then
      area=$((WIDTH * HEIGHT))
      best=$id
    fi
  done
  [ -n "$best" ] && echo "$best"
}
rows() { "$bin/k12inc-zr5" info "$journal" 2>/dev/null | sed -n 's/^rows: //p'; }
has_rows() { [ "$(rows)" -ge "$1" ] 2>/dev/null; }
# windows N: true when N windows carry the program's title.
windows() { [ "$(xdotool search --onlyvisible --name '^ZORV-K12INC$' 2>/dev/null | wc -l)" -eq "$1" ]; }

"$bin/k12inc" >"$work/first.log" 2>&1 &
first=$!
pids+=($first)
wait_for 20 main_window >/dev/null || fail "the main window did not appear"
win=$(main_window)
# "開始" is centred at (9967, 427) of the 12375 x 8985 twip client area. The start creates the
# journal; a click that came too early (a busy machine) is repeated.
eval "$(xdotool getwindowgeometry --shell "$win")"
for try in 1 2 3 4 5; do
  xdotool mousemove --window "$win" $((WIDTH * 9967 / 12375)) $((HEIGHT * 427 / 8985)) click 1
  wait_for 4 test -f "$journal" && break
done
[ -f "$journal" ] || fail "the run did not start"
wait_for 30 has_rows 3 || fail "no rows reached the journal"
kill -9 "$first"
wait "$first" 2>/dev/null || true

# What the killed program left: every row it had stored, both units counting from 1.
"$bin/k12inc-zr5" csv "$journal" "$work/journal.csv" || fail "the journal cannot be read"
n=$(rows)
tail -n "$n" "$work/journal.csv" | tr -d '\r' >"$work/rows.txt"
for ((k = 1; k <= n; k++)); do
  echo "$k,$k,\"\",\"\""
done >"$work/expected.txt"
diff "$work/expected.txt" "$work/rows.txt" || fail "the journal does not hold the counter's rows"

"$bin/k12inc" >"$work/second.log" 2>&1 &
pids+=($!)
# The question box is the smaller window with the program's title; Return answers Yes.
wait_for 20 windows 2 || fail "no question at the second start"
win=$(main_window)
box=$(xdotool search --onlyvisible --name '^ZORV-K12INC$' | grep -vx "$win" | head -n1)
xdotool windowfocus --sync "$box" key Return
wait_for 10 windows 1 || fail "the question did not close"

# The rows are in: "データ表示" (enabled only when rows are stored) opens the data list.
eval "$(xdotool getwindowgeometry --shell "$win")"
datalist() { xdotool search --onlyvisible --name '^データ表示$' >/dev/null 2>&1; }
for try in 1 2 3; do
  xdotool mousemove --window "$win" $((WIDTH * 3787 / 12375)) $((HEIGHT * 487 / 8985)) click 1
  wait_for 4 datalist && break
done
datalist || fail "the data list did not open: no rows were read back"
[ -f "$journal" ] || fail "the journal was removed before the rows were saved"
[ ! -d "$XDG_STATE_HOME/K12INC/unsaved" ] || fail "the journal was moved aside"
echo "PASS: $n rows came back after SIGKILL"
