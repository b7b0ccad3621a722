#!/bin/sh
# Measures `mshtool resave` of a 64 MB mesh against `cp` of the same file
# followed by `sync` of the copy: whole processes, paired runs (the order
# alternating within each pair), medians. Prints both figures and their ratio.
#
# usage: tools/measure_resave.sh [BUILD_DIR [RUNS [MEGABYTES]]]
#        (defaults: build, 15 runs, 64 MB; the mesh is made in a scratch
#        folder under $TMPDIR or /tmp, which is removed afterwards)
set -eu
build=${1:-build}
runs=${2:-15}
mb=${3:-64}
tool="$build/tools/mshtool"
bench="$build/mesh/mesh_bench"
for p in "$tool" "$bench"; do
    [ -x "$p" ] || { echo "missing $p: build the targets mshtool and mesh_bench first" >&2; exit 2; }
done
tool=$(cd "$(dirname "$tool")" && pwd)/mshtool
scratch=$(mktemp -d "${TMPDIR:-/tmp}/resave-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
"$bench" --make "$scratch/in.msh" "$mb"
cd "$scratch"
# Both outputs exist from the start, so every run replaces a file.
cp in.msh copy.msh
"$tool" resave in.msh out.msh
cmp -s in.msh out.msh || { echo "resave output differs from its input" >&2; exit 1; }

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
copy() { t=$(date +%s%N); cp in.msh copy.msh && sync copy.msh; ms "$t"; }
resave() { t=$(date +%s%N); "$tool" resave in.msh out.msh; ms "$t"; }

: >copy.txt
: >resave.txt
i=0
while [ "$i" -lt "$runs" ]; do
    if [ $((i % 2)) -eq 0 ]; then
        copy >>copy.txt
        resave >>resave.txt
    else
        resave >>resave.txt
        copy >>copy.txt
    fi
    i=$((i + 1))
done
cmp -s in.msh out.msh || { echo "resave output differs from its input" >&2; exit 1; }
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
c=$(median copy.txt)
r=$(median resave.txt)
size=$(wc -c <in.msh)
echo "mesh: $size bytes, $runs paired runs, medians of whole processes"
echo "cp + sync (baseline): $c ms"
echo "mshtool resave:       $r ms"
awk -v r="$r" -v c="$c" 'BEGIN { printf "ratio: %.2f x (target <= 1.50)\n", (c > 0 ? r / c : 0) }'
