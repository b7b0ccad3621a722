#!/bin/sh
# Runs the public model compiler (built as a command-line checker, see the
# compiler-oracle README) and `mshtool check` side by side on every *.msh
# below the folders, each with the option file beside it, and prints where
# they disagree and how often they agree:
#
#   verdict    the check reports an error exactly where the compiler refuses
#              the mesh (a compiler that crashes on a mesh refuses it);
#   code       where both refuse, the compiler's error code is one that a rule
#              of the check that reported an error names (mshtool check --rules);
#   warnings   every warning code of the compiler on a mesh has a finding of a
#              rule that names that code (counted once a mesh and code).
#
# usage: tools/oracle_parity.sh [--oracle BIN] [--mshtool BIN] [--quiet] FOLDER...
#        BIN defaults: $WE_MODEL_CHECK, and build/tools/mshtool.
# Without the oracle it says so and exits 0; not part of ./test.sh.
# Exit status: 0 when every mesh agrees, 1 when one does not, 2 on a bad call.
set -eu
oracle=${WE_MODEL_CHECK:-}
tool=build/tools/mshtool
quiet=
while [ $# -gt 0 ]; do
    case $1 in
        --oracle) oracle=$2; shift 2 ;;
        --mshtool) tool=$2; shift 2 ;;
        --quiet) quiet=1; shift ;;
        --) shift; break ;;
        -*) echo "usage: $0 [--oracle BIN] [--mshtool BIN] [--quiet] FOLDER..." >&2; exit 2 ;;
        *) break ;;
    esac
done
[ $# -gt 0 ] || { echo "usage: $0 [--oracle BIN] [--mshtool BIN] [--quiet] FOLDER..." >&2; exit 2; }
if [ -z "$oracle" ] || [ ! -x "$oracle" ]; then
    echo "skipped: the compiler oracle is not built (give --oracle BIN or set WE_MODEL_CHECK)"
    exit 0
fi
[ -x "$tool" ] || { echo "missing $tool: build the target mshtool first" >&2; exit 2; }

scratch=$(mktemp -d "${TMPDIR:-/tmp}/parity-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
# Which rules name which compiler codes: "CODE rule" a line.
"$tool" check --rules | awk '
    /^[a-z][a-z0-9-]* \((error|warning)\)$/ { rule = $1; next }
    /^  Compiler: / { sub(/^  Compiler: /, ""); n = split($0, c, /, */); for (i = 1; i <= n; ++i) print c[i], rule }
' >"$scratch/codes"

find "$@" -name '*.msh' -type f | LC_ALL=C sort >"$scratch/files"
: >"$scratch/rows"
while IFS= read -r mesh; do
    out=$scratch/out
    set +e
    timeout 120 "$oracle" --out-dir "$scratch" "$mesh" >"$out" 2>/dev/null
    rc=$?
    set -e
    rm -f "$scratch"/*.model "$scratch"/*.model.req
    case $rc in
        0) verdict=ok; code=- ;;
        1) verdict=error; code=$(sed -n '1s/^ERROR //p' "$out") ;;
        124) verdict=error; code=TIMEOUT ;;
        *) verdict=error; code=CRASH ;;
    esac
    warnings=$(sed -n 's/^WARNING \([A-Z0-9_]*\):.*/\1/p' "$out" | LC_ALL=C sort -u | tr '\n' ' ')
    # The check's findings: "severity rule" a line.
    "$tool" check --json --jobs 1 "$mesh" 2>/dev/null |
        sed -n 's/.*"severity":"\([a-z]*\)","rule":"\([^"]*\)".*/\1 \2/p' >"$scratch/found" || true
    printf '%s\t%s\t%s\t%s\t' "$mesh" "$verdict" "$code" "$warnings" >>"$scratch/rows"
    tr '\n' ' ' <"$scratch/found" >>"$scratch/rows"
    echo >>"$scratch/rows"
done <"$scratch/files"

awk -F '\t' -v quiet="$quiet" '
    FILENAME == ARGV[1] { split($0, cr, " "); rules[cr[1]] = rules[cr[1]] " " cr[2] " "; next }
    {
        mesh = $1; verdict = $2; code = $3; nw = split($4, w, " "); nf = split($5, f, " ")
        checkerror = 0; delete found; delete errorrule
        for (i = 1; i + 1 <= nf; i += 2) {
            found[f[i + 1]] = 1
            if (f[i] == "error") { checkerror = 1; errorrule[f[i + 1]] = 1 }
        }
        files++
        if (verdict == "error") refused++
        if (checkerror) errored++
        if ((verdict == "error") == checkerror) agree++
        else if (!quiet) printf "verdict  %s: compiler %s%s, check %s\n", mesh, verdict, (verdict == "error" ? " " code : ""), (checkerror ? "error" : "no error")
        if (verdict == "error" && checkerror && code != "CRASH" && code != "TIMEOUT") {
            both++
            named = 0
            for (r in errorrule) if (index(rules[code], " " r " ")) named = 1
            if (named) codes++
            else if (!quiet) printf "code     %s: compiler %s, no error of a rule naming it\n", mesh, code
        }
        for (i = 1; i <= nw; ++i) {
            warn++
            covered = 0
            n = split(rules[w[i]], rs, " ")
            for (j = 1; j <= n; ++j) if (rs[j] in found) covered = 1
            if (covered) warned++
            else if (!quiet) printf "warning  %s: compiler %s, no finding of a rule naming it\n", mesh, w[i]
        }
    }
    END {
        printf "%d meshes: verdict agrees on %d (compiler refuses %d, check errors on %d); ", files, agree, refused, errored
        printf "error code named on %d of %d refused by both; ", codes, both
        printf "compiler warnings covered %d of %d\n", warned, warn
        exit (agree == files && warned == warn) ? 0 : 1
    }
' "$scratch/codes" "$scratch/rows"
