#!/usr/bin/env bash
# How long a click on a button takes to reach the screen, and the CPU it
# costs the editor, under a virtual X server of its own. The editor runs on
# the example cube (and on a 64 MB mesh with --big); xdotool clicks the
# "recognize matl" tick box CLICKS times, 300 ms apart, and the editor logs
# the moment each frame it shows is on the screen. A click's latency runs
# from just before xdotool starts to the last frame shown after it (the one
# with the click's result). Its CPU is the editor's process time (all its
# threads, the renderer's too) over the clicks, less that of an idle spell
# of the same length in the same run, per click.
#   usage: tools/click_latency.sh [BUILD_DIR] [CLICKS] [--big]   (from the project root)
set -eu
root=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "${1:-build}" && pwd)
clicks=${2:-20}
big=${3:-}
if [ -z "${CLICK_LATENCY_INSIDE:-}" ]; then
  CLICK_LATENCY_INSIDE=1 exec "$root/tests/with_xvfb.sh" "$0" "$build" "$clicks" "$big"
fi

work=$(mktemp -d)
pid=
trap '[ -n "$pid" ] && { kill -9 "$pid"; wait "$pid"; } 2>/dev/null; rm -rf "$work"' EXIT
# A working folder of its own, so the editor's preferences stay out of the
# project.
cp -r "$root/mdata" "$work/mdata"
rm -f "$work/mdata/prefs.dat"
ln -s "$root/data" "$work/data"
cd "$work"
mesh="$root/examples/cube.msh"
if [ "$big" = "--big" ]; then
  "$build/editor/idle_editor" --make-mesh big.msh 64
  mesh=big.msh
fi
gap_ms=300

# CPU time of a process, all its threads (the renderer's too), in ns.
ticks() { cat /proc/"$1"/task/*/schedstat | awk '{ s += $1 } END { printf "%d", s }'; }
now_ns() { date +%s%N; }

"$build/editor/idle_editor" --frame-log "$mesh" >"$work/log" 2>&1 &
pid=$!
for _ in $(seq 100); do  # until the first frame is shown (at most 20 s)
  grep -q 'first frame' "$work/log" 2>/dev/null && break
  sleep 0.2
done
window=$(xdotool search --sync --pid "$pid" | head -1)
# The tick box is cell (1, 32) of the 16 x 16 pixel cells; the pointer goes
# there first, so hovering is over before the clicks.
xdotool mousemove --window "$window" 24 520
sleep 2

# An idle spell as long as the clicks take.
spell=$(awk -v n="$clicks" -v g="$gap_ms" 'BEGIN { printf "%.3f", n * g / 1000 }')
idle_from=$(now_ns)
t0=$(ticks "$pid")
sleep "$spell"
t1=$(ticks "$pid")
idle_to=$(now_ns)

: >"$work/clicks"
# One xdotool takes the clicks as they come down a pipe: a start of its own
# for each click would take longer than the click.
mkfifo "$work/xdo"
xdotool - <"$work/xdo" &
xdo=$!
exec 5>"$work/xdo"
echo "mousemove --window $window 24 520" >&5
sleep 1
c0=$(ticks "$pid")
for _ in $(seq "$clicks"); do
  now_ns >>"$work/clicks"
  printf 'mousedown 1\nmouseup 1\n' >&5
  sleep "$(awk -v g="$gap_ms" 'BEGIN { print g / 1000 }')"
done
c1=$(ticks "$pid")
exec 5>&-
wait "$xdo" || true

awk -v gap=$((gap_ms * 1000000)) -v idle_from="$idle_from" -v idle_to="$idle_to" \
    -v idle=$((t1 - t0)) -v busy=$((c1 - c0)) -v hz=1000000000 -v n="$clicks" -v spell="$spell" \
    -v mesh="$(basename "$mesh")" '
  FNR == NR { click[++clicks] = $1; next }
  $1 == "shown" { shown[++frames] = $2; flip[frames] = $3 }
  END {
    idle_frames = 0
    for (f = 1; f <= frames; f++) if (shown[f] >= idle_from && shown[f] < idle_to) idle_frames++
    shown_total = 0
    for (c = 1; c <= clicks; c++) {
      last = 0
      for (f = 1; f <= frames; f++)
        if (shown[f] >= click[c] && shown[f] < click[c] + gap) { last = shown[f]; flips[++shown_total] = flip[f] }
      lat[c] = last ? (last - click[c]) / 1e6 : -1
    }
    # median by insertion sort
    for (i = 2; i <= clicks; i++) { v = lat[i]; for (j = i - 1; j >= 1 && lat[j] > v; j--) lat[j + 1] = lat[j]; lat[j + 1] = v }
    median = clicks % 2 ? lat[(clicks + 1) / 2] : (lat[clicks / 2] + lat[clicks / 2 + 1]) / 2
    for (i = 2; i <= shown_total; i++) { v = flips[i]; for (j = i - 1; j >= 1 && flips[j] > v; j--) flips[j + 1] = flips[j]; flips[j + 1] = v }
    flip_median = shown_total ? flips[int((shown_total + 1) / 2)] / 1000 : 0
    cpu = (busy - idle) * 1000 / hz / n
    printf "click on a button (%s, %d clicks): on the screen after %.0f ms (median; %.0f to %.0f), %.1f ms of CPU and %.1f frames shown per click (targets < 50 ms, < 20 ms)\n", mesh, n, median, lat[1], lat[clicks], cpu, shown_total / n
    printf "drawing and showing a frame after a click: %.2f ms of CPU (median)\n", flip_median
    printf "idle in the same run, %.1f s: %.0f ms of CPU, %d frames shown\n", spell, idle * 1000 / hz, idle_frames
  }' "$work/clicks" "$work/log"
