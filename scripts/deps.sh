#!/usr/bin/env bash
# Installs what building, testing and running vtkorviRendering needs on a
# Debian 12 machine, asking apt only for the packages that are missing.
# gmsh and gmsh-doc: tests mesh gmsh's tutorial geometries at run time.
# libgmsh-dev: the loader reads gmsh's .msh files through gmsh's library.
# libexpat1-dev, libdeflate-dev: the loader's own .vtu read (its header, its zlib blocks).
# qtbase5-dev and libvtk9-qt-dev: the Qt host orvi-qt and its tests.
# libcli11-dev: the hosts' command line (header-only).
# xdotool: orvi-qt's tests drive it with real X11 input (XTEST).
set -euo pipefail

packages=(cmake g++ make pkg-config libvtk9-dev libvtk9-qt-dev qtbase5-dev libgtest-dev
  libcli11-dev libbenchmark-dev xvfb xauth x11-utils libgl1-mesa-dri clang-format clang-tidy gmsh gmsh-doc libgmsh-dev libexpat1-dev libdeflate-dev xdotool "$@")

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
