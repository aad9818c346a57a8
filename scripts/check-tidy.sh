#!/usr/bin/env bash
# Runs clang-tidy (.clang-tidy at the top of the tree) on the library's
# sources with the compile commands of a configured build tree. Fails on any
# finding in our code.
#   ./scripts/check-tidy.sh BUILD_DIR
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"
build="${1:?usage: check-tidy.sh BUILD_DIR}"
cd "$ORVI_ROOT"
mapfile -t files < <(git ls-files 'Rendering/*.cxx' | grep -v '/Testing/')
printf '%s\n' "${files[@]}" |
  xargs -P "$ORVI_JOBS" -n 1 clang-tidy -p "$build" --quiet 2>/dev/null
echo "clang-tidy: no findings in ${#files[@]} sources"
