#!/bin/sh
# Measures `mshtool build` of a text form against `mshtool resave` of the
# mesh it describes: whole processes, paired runs (the order alternating
# within each pair), medians. Two cases, each printed with its ratio:
#   - the text of a 64 MB mesh whose lists hold real-valued numbers
#     (textform_bench --make), one build against one resave;
#   - the texts of every real mesh in MESHES (one process a mesh), all built
#     against all resaved.
# Every build is checked to give back its mesh byte for byte.
#
# usage: tools/measure_build.sh [BUILD_DIR [RUNS [MESHES]]]
#        (defaults: build, 11 runs, /work/shared/meshes; scratch files go to
#        a folder under $TMPDIR or /tmp, which is removed afterwards)
set -eu
build=${1:-build}
runs=${2:-11}
meshes=${3:-/work/shared/meshes}
tool="$build/tools/mshtool"
bench="$build/textform/textform_bench"
for p in "$tool" "$bench"; do
    [ -x "$p" ] || { echo "missing $p: build the targets mshtool and textform_bench first" >&2; exit 2; }
done
tool=$(cd "$(dirname "$tool")" && pwd)/mshtool
scratch=$(mktemp -d "${TMPDIR:-/tmp}/build-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
"$bench" --make "$scratch/big.msh" 64
mkdir "$scratch/real"
for m in "$meshes"/*.msh; do
    [ -f "$m" ] && cp "$m" "$scratch/real/"
done
cd "$scratch"
"$tool" dump big.msh big.txt
for m in real/*.msh; do
    [ -f "$m" ] && "$tool" dump "$m" "${m%.msh}.txt"
done

ms() { echo $(( ($(date +%s%N) - $1) / 1000000 )); }
build_big() { t=$(date +%s%N); "$tool" build big.txt big.out; ms "$t"; }
resave_big() { t=$(date +%s%N); "$tool" resave big.msh big.re; ms "$t"; }
build_real() {
    t=$(date +%s%N)
    for m in real/*.txt; do "$tool" build "$m" "${m%.txt}.out"; done
    ms "$t"
}
resave_real() {
    t=$(date +%s%N)
    for m in real/*.msh; do "$tool" resave "$m" "${m%.msh}.re"; done
    ms "$t"
}
same() {
    cmp -s big.msh big.out || { echo "build of big.txt differs from big.msh" >&2; exit 1; }
    for m in real/*.msh; do
        cmp -s "$m" "${m%.msh}.out" || { echo "build of ${m%.msh}.txt differs from $m" >&2; exit 1; }
    done
}
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

for c in big real; do
    : >"build_$c.txt"
    : >"resave_$c.txt"
    i=0
    while [ "$i" -lt "$runs" ]; do
        if [ $((i % 2)) -eq 0 ]; then
            "build_$c" >>"build_$c.txt"
            "resave_$c" >>"resave_$c.txt"
        else
            "resave_$c" >>"resave_$c.txt"
            "build_$c" >>"build_$c.txt"
        fi
        i=$((i + 1))
    done
done
same
report() {
    b=$(median "build_$1.txt")
    r=$(median "resave_$1.txt")
    echo "$2"
    echo "  mshtool resave (baseline): $r ms"
    echo "  mshtool build:             $b ms"
    awk -v b="$b" -v r="$r" 'BEGIN { printf "  ratio: %.2f x\n", (r > 0 ? b / r : 0) }'
}
echo "$runs paired runs, medians of whole processes"
report big "a $(wc -c <big.msh)-byte mesh of real-valued lists, its text $(wc -c <big.txt) bytes:"
report real "$(ls real/*.msh | wc -l) real meshes, $(cat real/*.msh | wc -c) bytes, their texts $(cat real/*.txt | wc -c) bytes, a process each:"
