#!/bin/sh
# Measures `mshtool fix` of a 64 MB mesh with one fault (a POSL whose count
# disagrees with its data) against `mshtool resave` of the same file, which
# reads and saves it the same way: whole processes, paired runs (the order
# alternating within each pair), medians. Prints both figures and their ratio.
#
# usage: tools/measure_fix.sh [BUILD_DIR [RUNS [MEGABYTES]]]
#        (defaults: build, 9 runs, 64 MB; the mesh is made in a scratch
#        folder under $TMPDIR or /tmp, which is removed afterwards)
set -eu
build=${1:-build}
runs=${2:-9}
mb=${3:-64}
tool="$build/tools/mshtool"
bench="$build/mesh/mesh_bench"
for p in "$tool" "$bench"; do
    [ -x "$p" ] || { echo "missing $p: build the targets mshtool and mesh_bench first" >&2; exit 2; }
done
tool=$(cd "$(dirname "$tool")" && pwd)/mshtool
scratch=$(mktemp -d "${TMPDIR:-/tmp}/fix-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
"$bench" --make "$scratch/in.msh" "$mb"
cd "$scratch"
# The fault: the count of the first POSL, eight bytes after its name, made 0.
at=$(grep -obUa POSL in.msh | head -n 1 | cut -d: -f1)
[ -n "$at" ] || { echo "no POSL in the mesh" >&2; exit 1; }
printf '\000\000\000\000' | dd of=in.msh bs=1 seek=$((at + 8)) conv=notrunc status=none
"$tool" fix --dry-run --rule list-count in.msh | grep -q "\[list-count\]" || { echo "the fault was not found" >&2; exit 1; }

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
resave() { t=$(date +%s%N); "$tool" resave in.msh out.msh; ms "$t"; }
fix() { t=$(date +%s%N); "$tool" fix in.msh fixed.msh >/dev/null 2>&1 || true; ms "$t"; }

: >resave.txt
: >fix.txt
i=0
while [ "$i" -lt "$runs" ]; do
    if [ $((i % 2)) -eq 0 ]; then
        resave >>resave.txt
        fix >>fix.txt
    else
        fix >>fix.txt
        resave >>resave.txt
    fi
    i=$((i + 1))
done
"$tool" fix --dry-run fixed.msh | grep -q "\[list-count\]" && { echo "the fixed mesh still has the fault" >&2; exit 1; }
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
r=$(median resave.txt)
f=$(median fix.txt)
size=$(wc -c <in.msh)
echo "mesh: $size bytes, one list count wrong, $runs paired runs, medians of whole processes"
echo "mshtool resave (read and save, baseline): $r ms"
echo "mshtool fix (read, repair, save, check):  $f ms"
awk -v f="$f" -v r="$r" 'BEGIN { printf "ratio: %.2f x (target < 2.00)\n", (r > 0 ? f / r : 0) }'
