#!/bin/sh
# Runs a command on the X display given in DISPLAY once openbox manages it,
# with the configuration given first; ends openbox afterwards.
#   with-openbox.sh RC.XML COMMAND [ARGS...]
set -u
rc=$1
shift
for tool in openbox xprop; do
  command -v "$tool" >/dev/null 2>&1 || { echo "with-openbox: $tool is missing (make test installs it)" >&2; exit 1; }
done
openbox --sm-disable --config-file "$rc" >/dev/null 2>&1 &
wm=$!
# The window manager is ready once it names itself on the root window and
# has published the work area that leaves the panel's band out.
tries=0
until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
      xprop -root _NET_WORKAREA 2>/dev/null | grep -q '='; do
  tries=$((tries + 1))
  if [ "$tries" -gt 400 ] || ! kill -0 "$wm" 2>/dev/null; then
    echo "with-openbox: openbox did not start" >&2
    kill "$wm" 2>/dev/null
    exit 1
  fi
  sleep 0.05
done
"$@"
status=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
exit "$status"
