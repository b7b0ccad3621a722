#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor from the project root
# (where its mdata/ and data/ folders are), on the mesh given, if any.
set -euo pipefail
# The editor runs from the project root (where mdata/ and data/ are), so a
# mesh named relative to where this was started is made absolute first.
args=()
for a in "$@"; do
  if [ -e "$a" ]; then args+=("$(realpath -- "$a")"); else args+=("$a"); fi
done
set -- ${args[@]+"${args[@]}"}
cd "$(dirname "$0")"
./tools/install-deps.sh
# The editor needs a desktop to open its window in; say so before building.
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display: run this from a desktop session, or under a virtual one:" >&2
  echo "  xvfb-run -s '-screen 0 1920x1080x24' ./run.sh $*" >&2
  exit 1
fi
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"
if [ ! -x build/editor/vornabel ]; then
  echo "The editor was not built (it needs SDL2 and OpenGL: cmake -DVORNA_GUI=ON)." >&2
  exit 1
fi
exec build/editor/vornabel "$@"
