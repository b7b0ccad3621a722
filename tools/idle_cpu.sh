#!/usr/bin/env bash
# CPU the editor uses while it sits idle on a 64 MB mesh, under a virtual X
# server of its own: 10 seconds of the editor's process time, as a share of
# one core. Beside it, in the same run, the baseline: the same editor showing
# every frame whatever it holds, as it did before it compared frames; and the
# editor idle with the inspector's 3D preview of the example cube on the
# screen.
#   usage: tools/idle_cpu.sh [BUILD_DIR] [SECONDS]   (from the project root)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
seconds=${2:-10}
if [ -z "${IDLE_CPU_INSIDE:-}" ]; then
  IDLE_CPU_INSIDE=1 exec "$root/tests/with_xvfb.sh" "$0" "$build" "$seconds"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# A working folder of its own, so the editor's preferences stay out of the
# project.
cp -r "$root/mdata" "$work/mdata"
rm -f "$work/mdata/prefs.dat"
ln -s "$root/data" "$work/data"
cd "$work"
"$build/editor/idle_editor" --make-mesh big.msh 64
hz=$(getconf CLK_TCK)

# Process time (user + system) of a process, in clock ticks.
ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat"; }

# Starts the editor, lets it settle, measures, stops it; prints the percent.
measure() {
  "$build/editor/idle_editor" "$@" >"$work/out" 2>&1 &
  local pid=$!
  for _ in $(seq 100); do  # until the first frame is shown (at most 20 s)
    grep -q 'first frame' "$work/out" 2>/dev/null && break
    sleep 0.2
  done
  sleep 2
  local t0 t1
  t0=$(ticks "$pid")
  sleep "$seconds"
  t1=$(ticks "$pid")
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null || true
  awk -v d=$((t1 - t0)) -v hz="$hz" -v s="$seconds" 'BEGIN { printf "%.1f", 100 * d / hz / s }'
}

now=$(measure big.msh)
base=$(measure --every-frame big.msh)
view=$(measure --view "$root/examples/cube.msh")
echo "idle CPU over ${seconds} s with a 64 MB mesh open: ${now} % of a core (target < 5 %); baseline, every frame shown: ${base} %"
echo "idle CPU with the example cube in the 3D preview: ${view} % of a core (target < 1 %)"
