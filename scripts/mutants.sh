#!/usr/bin/env bash
# Plants each deliberate fault of scripts/mutants.txt in a scratch copy of the committed tree,
# builds, runs the tests that should catch it, and says whether they did.
#
#   bash scripts/mutants.sh              every fault
#   bash scripts/mutants.sh 3 7 12       only these (their order among the faults, from 1)
#   bash scripts/mutants.sh --check      only whether each fault can be planted (no build)
#
# A line of mutants.txt is "what the fault changes @@ command that plants it @@ ctest regex".
# The command runs in the scratch copy's root and must change at least one file. Writes a
# tally to stdout and, per fault, the failing tests' output to $QP_MUTANT_LOG (default
# build-mutants/mutants.log). Exits 1 when a fault went unnoticed.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
scratch=${QP_MUTANT_DIR:-$root/build-mutants}
log=${QP_MUTANT_LOG:-$scratch/mutants.log}
list="$root/scripts/mutants.txt"

mapfile -t faults < <(grep -v '^\s*\(#\|$\)' "$list")
check_only=false
if [ "${1:-}" = --check ]; then
    check_only=true
    shift
fi
wanted=("$@")
if [ ${#wanted[@]} -eq 0 ]; then
    wanted=($(seq 1 ${#faults[@]}))
fi

# One scratch copy of the committed tree and one build folder, reused from fault to fault:
# only what a fault touches is rebuilt.
if [ ! -d "$scratch/src/.git" ]; then
    rm -rf "$scratch"
    git clone -q "$root" "$scratch/src"
    ln -s "$root/../shared" "$scratch/shared" 2>/dev/null || true
else
    git -C "$scratch/src" fetch -q "$root" HEAD && git -C "$scratch/src" reset -q --hard FETCH_HEAD
fi
if $check_only; then
    status=0
    for n in "${wanted[@]}"; do
        line=${faults[$((n - 1))]}
        rest=${line#*@@}
        git -C "$scratch/src" checkout -q -- .
        (cd "$scratch/src" && eval "${rest%@@*}") >/dev/null 2>&1
        if git -C "$scratch/src" diff --quiet; then
            printf '%3d NOT PLANTED  %s\n' "$n" "${line%%@@*}"
            status=1
        fi
    done
    git -C "$scratch/src" checkout -q -- .
    exit $status
fi
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$scratch/src" -B "$scratch/build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DQP_CORPUS_DIR="$root/../shared/corpus" "${launcher[@]}" >/dev/null || exit 2
cmake --build "$scratch/build" -j "$(nproc)" >/dev/null || { echo "the unchanged tree does not build" >&2; exit 2; }
: >"$log"

caught=0 missed=0 broken=0
for n in "${wanted[@]}"; do
    line=${faults[$((n - 1))]}
    what=${line%%@@*} rest=${line#*@@}
    plant=${rest%@@*} tests=${rest##*@@}
    what=$(sed 's/^ *//; s/ *$//' <<<"$what")
    tests=$(sed 's/^ *//; s/ *$//' <<<"$tests")
    git -C "$scratch/src" checkout -q -- . && git -C "$scratch/src" clean -qfd
    (cd "$scratch/src" && eval "$plant") >/dev/null 2>&1
    if git -C "$scratch/src" diff --quiet; then
        printf '%3d NOT PLANTED  %s\n' "$n" "$what"
        broken=$((broken + 1))
        continue
    fi
    {
        echo "=== $n: $what"
        git -C "$scratch/src" diff
    } >>"$log"
    if ! cmake --build "$scratch/build" -j "$(nproc)" >>"$log" 2>&1; then
        printf '%3d caught     %s (does not build)\n' "$n" "$what"
        caught=$((caught + 1))
        continue
    fi
    if (cd "$scratch/build" && dbus-run-session -- ctest -R "$tests" --timeout 600 \
            --output-on-failure >>"$log" 2>&1); then
        printf '%3d MISSED     %s  [%s]\n' "$n" "$what" "$tests"
        missed=$((missed + 1))
    else
        printf '%3d caught     %s\n' "$n" "$what"
        caught=$((caught + 1))
    fi
done
git -C "$scratch/src" checkout -q -- .
total=$((caught + missed + broken))
echo "caught $caught of $total faults ($missed missed, $broken not planted)"
[ "$missed" -eq 0 ] && [ "$broken" -eq 0 ]
