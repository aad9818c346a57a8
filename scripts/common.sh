# Shared by the scripts: where to build, how many jobs, and how to run a
# command with an X display (Xvfb with Mesa when there is none).
ORVI_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
ORVI_JOBS="${ORVI_JOBS:-$(nproc)}"

# Whether there is an X display to show windows on.
orvi_has_display() {
  [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1
}

# Runs "$@" with an X display: the current one if there is one, otherwise a
# private Xvfb server with Mesa's software OpenGL.
orvi_with_display() {
  if orvi_has_display; then
    "$@"
  else
    xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$@"
  fi
}
