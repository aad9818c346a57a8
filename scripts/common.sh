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

# ccache for the scripts' builds when the machine has it (deps.sh does not
# install it): a rebuild from another clone of the same sources then takes
# minutes less. Paths are taken relative to the clone, so clones share hits.
ORVI_CMAKE_LAUNCHER=()
if command -v ccache >/dev/null 2>&1; then
  export CCACHE_BASEDIR="$ORVI_ROOT"
  ORVI_CMAKE_LAUNCHER=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
