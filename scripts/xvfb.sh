# Sourced by the scripts that run Wine programs: starts Xvfb when there is no display, exports
# DISPLAY and sets XVFB_PID (empty when a display was there); the caller stops it.
# xvfb_start starts one more server: its display in XVFB_NEW_DISPLAY (":N"), its pid in XVFB_NEW_PID.
xvfb_start() {
  local fifo n
  fifo="$(mktemp -u)"; mkfifo "$fifo"
  Xvfb -displayfd 6 -screen 0 1280x1024x24 -nolisten tcp 6>"$fifo" >/dev/null 2>&1 </dev/null &
  XVFB_NEW_PID=$!
  read -r n < "$fifo"; rm -f "$fifo"
  XVFB_NEW_DISPLAY=":$n"
}
XVFB_PID=""
if [ -z "${DISPLAY:-}" ]; then
  xvfb_start
  XVFB_PID=$XVFB_NEW_PID
  export DISPLAY="$XVFB_NEW_DISPLAY"
fi
