#!/usr/bin/env bash
# Runs one sanitized test program (CTest calls it as the test executor of the
# sanitized build, see test.sh). Mesa's software driver is loaded with the
# program from the start instead of by GLX when the first window opens.
#
# Why: GLX unloads the driver (dlclose) when the window's X display closes,
# before LeakSanitizer looks for leaks at exit. The driver's own allocations
# that it never frees (two 56-byte blocks per OpenGL context) are then
# reported from an "<unknown module>", which no suppression can name. Kept
# loaded, they are reported as swrast_dri.so and suppressed by lsan.supp.
# AddressSanitizer's runtime must come first among the preloaded libraries.
#
# CMake also runs the build's own helper programs through the test executor
# (VTK's wrapping tools, for one); those are not sanitized and run as they are.
set -euo pipefail
driver="/usr/lib/$(gcc -print-multiarch 2>/dev/null || echo x86_64-linux-gnu)/dri/swrast_dri.so"
asan="$(gcc -print-file-name=libasan.so 2>/dev/null || true)"
# The dynamic section is read whole first: "readelf | grep -q" under
# pipefail fails whenever grep stops reading before readelf is done.
dynamic="$(readelf -d "$1" 2>/dev/null || true)"
if [ -f "$driver" ] && [ -f "$asan" ] && grep -q 'NEEDED.*libasan' <<<"$dynamic"; then
  export LD_PRELOAD="$asan $driver${LD_PRELOAD:+ $LD_PRELOAD}"
fi
exec "$@"
