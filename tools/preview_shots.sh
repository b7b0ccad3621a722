#!/usr/bin/env bash
# Pictures of the editor's 3D preview in a real window, under a virtual X
# server of its own: the example cube (a segment selected, the view on) and
# three meshes made here (tools/preview_meshes.awk): a skinned arm, a crate
# with collision and shadow volume shown, a cloth flag, each enlarged with
# Control+3 and turned by a drag; then real meshes with their textures when
# their folders are there (MODS, default /work/data/mods, and MESHES, default
# /work/shared/meshes): a skinned turret with its bones, a gun emplacement
# with its hardpoints and collision, a cloth. The README's pictures of the
# preview are made this way.
#   usage: tools/preview_shots.sh [BUILD_DIR] [OUT_DIR]   (from the project root)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
out=$(mkdir -p "${2:-shots}" && cd "${2:-shots}" && pwd)
if [ -z "${PREVIEW_SHOTS_INSIDE:-}" ]; then
  PREVIEW_SHOTS_INSIDE=1 exec "$root/tests/with_xvfb.sh" "$0" "$build" "$out"
fi

work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT
cp -r "$root/mdata" "$work/mdata"
rm -f "$work/mdata/prefs.dat"
ln -s "$root/data" "$work/data"
cd "$work"
for m in skinned collision cloth; do
  awk -v which=$m -f "$root/tools/preview_meshes.awk" >$m.txt
  "$build/tools/mshtool" build $m.txt $m.msh
done
cp "$root/examples/cube.msh" cube.msh

# The layout of the shipped 96 x 60 grid: the tree's rows from (1, 7), the
# inspector window at (41, 7) with "view" at (59, 7) and its buttons on row 9.
start() {
  "$build/editor/vornabel" "$1" &
  pid=$!
  win=$(timeout 20 xdotool search --sync --onlyvisible --pid "$pid" 2>/dev/null | head -1)
  [ -n "$win" ] || { echo "the editor window did not appear" >&2; exit 1; }
  xdotool windowmove "$win" 0 0
  sleep 1
  cell=$(($(xdotool getwindowgeometry --shell "$win" | sed -n 's/^WIDTH=//p') / 96))
}
click() {
  xdotool mousemove --window "$win" $(($1 * cell + cell / 2)) $(($2 * cell + cell / 2))
  sleep 0.15
  xdotool click 1
  sleep 0.35
}
# A left drag of the picture by (dx, dy) pixels from the cell (x, y).
drag() {
  xdotool mousemove --window "$win" $(($1 * cell)) $(($2 * cell))
  sleep 0.2
  xdotool mousedown 1
  for i in 1 2 3 4 5 6 7 8; do
    xdotool mousemove --window "$win" $(($1 * cell + $3 * i / 8)) $(($2 * cell + $4 * i / 8))
    sleep 0.05
  done
  xdotool mouseup 1
  sleep 0.4
}
big() {
  xdotool keydown ctrl; sleep 0.1; xdotool key 3; sleep 0.1; xdotool keyup ctrl
  sleep 0.5
}
shot() { import -window "$win" "$out/$1.png"; }
# The enlarged picture alone: columns 41 to 95, rows 7 to 43.
crop() { convert "$out/$1.png" -crop $((55 * cell))x$((37 * cell))+$((41 * cell))+$((7 * cell)) +repage "$out/$1.png"; }
stop() { kill "$pid"; wait "$pid" 2>/dev/null || true; pid=; }

# The cube: the root open, a segment selected, the view on.
start cube.msh
# HEDR, MSH2, the cube's MODL, its GEOM, its first SEGM (the front face).
click 2 7; click 3 8; click 4 12; click 5 19; click 6 21; click 59 7
shot preview
stop

start skinned.msh
click 2 7; click 59 7; big
drag 70 30 60 -30
shot preview_skinned; crop preview_skinned
stop

start collision.msh
click 2 7; click 59 7; big
click 54 9; click 61 9; click 47 9
drag 70 30 -80 20
shot preview_collision; crop preview_collision
stop

start cloth.msh
click 2 7; click 59 7; big
drag 70 30 -60 10
shot preview_cloth; crop preview_cloth
stop
# Real meshes, read where they are (their textures beside them).
mods=${MODS:-/work/data/mods}
meshes=${MESHES:-/work/shared/meshes}
tur=$mods/unitcust/Sides/tur/msh
if [ -f "$tur/rep_bldg_bandturret.msh" ]; then
  start "$tur/rep_bldg_bandturret.msh"
  click 2 7; click 59 7; big
  click 79 9   # bone
  drag 70 30 -50 10
  shot real_skinned; crop real_skinned
  stop
fi
if [ -f "$tur/kam_prop_antiaircraft.msh" ]; then
  start "$tur/kam_prop_antiaircraft.msh"
  click 2 7; click 59 7; big
  click 54 9   # coll
  drag 70 30 60 10
  shot real_vehicle; crop real_vehicle
  stop
fi
if [ -f "$meshes/we_cloth_test.msh" ]; then
  start "$meshes/we_cloth_test.msh"
  click 2 7; click 59 7; big
  drag 70 30 -40 10
  shot real_cloth; crop real_cloth
  stop
fi
echo "pictures in $out"
