#!/usr/bin/env bash
# A virtual X server with a window manager, for the tests that need a real display: Xvfb on a
# free display number and openbox on it. "start DIR" writes DIR/display (":N") for the tests;
# "stop DIR" ends both and removes the folder.
set -euo pipefail
action=${1:?start or stop}
dir=${2:?folder}

stop() {
  for f in "$dir"/wm.pid "$dir"/xvfb.pid; do
    [ -f "$f" ] && kill "$(cat "$f")" 2>/dev/null || true
  done
  rm -rf "$dir"
}

case "$action" in
stop) stop ;;
start)
  stop
  mkdir -p "$dir"
  command -v Xvfb >/dev/null || { echo "Xvfb is not installed (apt-get install xvfb)"; exit 1; }
  command -v openbox >/dev/null || { echo "openbox is not installed (apt-get install openbox)"; exit 1; }
  # Xvfb picks a free display and writes its number to the descriptor it is given.
  exec 3>"$dir/displayfd"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset >"$dir/xvfb.log" 2>&1 &
  echo $! > "$dir/xvfb.pid"
  exec 3>&-
  for _ in $(seq 100); do [ -s "$dir/displayfd" ] && break; sleep 0.1; done
  [ -s "$dir/displayfd" ] || { echo "Xvfb did not start:"; cat "$dir/xvfb.log"; exit 1; }
  display=":$(tr -d '[:space:]' < "$dir/displayfd")"
  DISPLAY=$display openbox --sm-disable >"$dir/wm.log" 2>&1 &
  echo $! > "$dir/wm.pid"
  # The window manager is up when it has announced itself on the root window.
  for _ in $(seq 100); do
    DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
    sleep 0.1
  done
  DISPLAY=$display xprop -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id' || { echo "openbox did not start"; exit 1; }
  echo "$display" > "$dir/display"
  echo "X server with openbox on $display"
  ;;
*) echo "usage: $0 start|stop DIR"; exit 2 ;;
esac
