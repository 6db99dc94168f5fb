#!/bin/sh
# Runs a command on the X display given in DISPLAY once openbox manages it,
# with the configuration given first; ends openbox afterwards.
#   with-openbox.sh RC.XML COMMAND [ARGS...]
set -u
rc=$1
shift
# Tells run.sh that the screen started.
[ -n "${VARNELO_SCREEN_STARTED:-}" ] && : >"$VARNELO_SCREEN_STARTED"
for tool in openbox xprop; do
  command -v "$tool" >/dev/null 2>&1 || { echo "with-openbox: $tool is missing (make test installs it)" >&2; exit 1; }
done

# Polls `$@` every 50 ms, 400 times at most.
poll() {
  tries=0
  until "$@"; do
    tries=$((tries + 1))
    [ "$tries" -gt 400 ] && return 1
    sleep 0.05
  done
}

# The display answers first.
poll sh -c 'xprop -root >/dev/null 2>&1' || { echo "with-openbox: no X display at $DISPLAY" >&2; exit 1; }

# The window manager is ready once it names itself on the root window and
# has published the work area that leaves the panel's band out.
managed() {
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' &&
    xprop -root _NET_WORKAREA 2>/dev/null | grep -q '='
}
log=$(mktemp)
wm=
for attempt in 1 2 3; do
  openbox --sm-disable --config-file "$rc" >"$log" 2>&1 &
  wm=$!
  tries=0
  until managed; do
    tries=$((tries + 1))
    if [ "$tries" -gt 400 ] || ! kill -0 "$wm" 2>/dev/null; then
      kill "$wm" 2>/dev/null
      wait "$wm" 2>/dev/null
      wm=
      break
    fi
    sleep 0.05
  done
  [ -n "$wm" ] && break
done
if [ -z "$wm" ]; then
  echo "with-openbox: openbox did not start" >&2
  cat "$log" >&2
  rm -f "$log"
  exit 1
fi
"$@"
status=$?
kill "$wm" 2>/dev/null
wait "$wm" 2>/dev/null
rm -f "$log"
exit "$status"
