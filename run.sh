#!/usr/bin/env bash
# Installs what is missing, builds, and starts the editor from the project root
# (where its mdata/ and data/ folders are), on the mesh given, if any.
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"
if [ -x build/editor/vornabel ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display: run this from a desktop session, or under a virtual one:" >&2
    echo "  xvfb-run -s '-screen 0 1920x1080x24' ./run.sh $*" >&2
    exit 1
  fi
  exec build/editor/vornabel "$@"
fi
# Until the editor is built, show the chunk tree of the mesh given.
if [ $# -lt 1 ]; then
  echo "usage: ./run.sh MESH" >&2
  exit 2
fi
exec build/tools/mshtool tree "$1"
