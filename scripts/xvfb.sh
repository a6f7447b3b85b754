# Sourced by the scripts that run Wine programs: starts Xvfb when there is no display, exports
# DISPLAY and sets XVFB_PID (empty when a display was there); the caller stops it.
XVFB_PID=""
if [ -z "${DISPLAY:-}" ]; then
  xvfb_fifo="$(mktemp -u)"; mkfifo "$xvfb_fifo"
  Xvfb -displayfd 6 -screen 0 1280x1024x24 -nolisten tcp 6>"$xvfb_fifo" >/dev/null 2>&1 </dev/null &
  XVFB_PID=$!
  read -r xvfb_display < "$xvfb_fifo"; rm -f "$xvfb_fifo"
  export DISPLAY=":$xvfb_display"
fi
