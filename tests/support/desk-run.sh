#!/usr/bin/env bash
# Runs one test program on a desktop of its own: Xvfb at 1366x768 with the openbox
# window manager, through Qt's xcb platform, where window activation and focus behave
# as a clerk's desktop does (the offscreen platform activates every window at once).
set -euo pipefail

dir=$(mktemp -d)
cleanup() {
  [ -n "${wm:-}" ] && kill "$wm" 2>/dev/null
  [ -n "${xvfb:-}" ] && kill "$xvfb" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT

# Xvfb picks a free display itself and writes its number once it accepts clients.
Xvfb -displayfd 5 -screen 0 1366x768x24 -nolisten tcp 5>"$dir/display" 2>"$dir/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$dir/display" ] && break
  sleep 0.1
done
[ -s "$dir/display" ] || { echo "desk-run: Xvfb did not start" >&2; cat "$dir/xvfb.log" >&2; exit 1; }
export DISPLAY=":$(cat "$dir/display")"

HOME="$dir" openbox --sm-disable >"$dir/openbox.log" 2>&1 &
wm=$!
# The window manager owns the screen's WM_S0 selection once it is ready.
for _ in $(seq 100); do
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
  sleep 0.1
done

export QT_QPA_PLATFORM=xcb
"$@"
