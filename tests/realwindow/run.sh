#!/bin/sh
# The real-window tests: a virtual 1280 x 1024 screen at 96 DPI, openbox with
# a 40-pixel panel band, then the test program given.
#   run.sh TEST_PROGRAM [ARGS...]
set -u
# Real windows on the virtual screen, never offscreen.
export QT_QPA_PLATFORM=xcb
here=$(cd "$(dirname "$0")" && pwd)
command -v xvfb-run >/dev/null 2>&1 || { echo "run.sh: xvfb-run is missing (make test installs it)" >&2; exit 1; }
# xvfb-run picks a free display number, and can lose it to another X server
# starting at the same moment: then the screen never started, and it is
# started again.
for attempt in 1 2 3; do
  started=$(mktemp -u)
  VARNELO_SCREEN_STARTED=$started xvfb-run -a -s "-screen 0 1280x1024x24 -dpi 96 -nolisten tcp" \
    "$here/with-openbox.sh" "$here/openbox-rc.xml" "$@"
  status=$?
  if [ -e "$started" ]; then
    rm -f "$started"
    exit "$status"
  fi
  echo "run.sh: the virtual screen did not start (attempt $attempt)" >&2
done
exit 1
