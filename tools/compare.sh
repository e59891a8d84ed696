#!/usr/bin/env bash
# Compares the speed of two builds of the engine.
#
#   tools/compare.sh [-n RUNS] [-e] A B
#
# A and B are each either an engine binary or a commit. A commit is checked
# out in a scratch worktree under build/compare/ and built there (Release, the
# build's default options); a build that exists is reused.
#
# Each round runs `bench` and `perft 5` from the start position on A and on B
# in alternating order (A first in odd rounds, B first in even ones), so that
# slow phases of a busy machine fall on both sides. Times are CPU times (user +
# system) of the engine process, which a loaded machine disturbs much less than
# wall-clock time; bench nodes per second are computed from them. With -e the
# evaluation benchmark of falkmere_bench runs as well (its CPU time per
# iteration; commits only, or binaries with a falkmere_bench beside them).
#
# Prints the median of each side and, for each measure, the median of the
# per-round ratios B/A (speed-up of B over A) with their minimum and maximum.
# The bench node counts of the two sides are printed too: a change that is
# meant to keep the search must leave them equal.
set -euo pipefail

runs=5
with_eval=0
while getopts "n:e" opt; do
    case $opt in
        n) runs=$OPTARG ;;
        e) with_eval=1 ;;
        *) echo "usage: $0 [-n RUNS] [-e] A B" >&2; exit 2 ;;
    esac
done
shift $((OPTIND - 1))
if [ $# -ne 2 ]; then
    echo "usage: $0 [-n RUNS] [-e] A B (commits or engine binaries)" >&2
    exit 2
fi

root="$(cd "$(dirname "$0")/.." && pwd)"
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT

# Echoes the path of the engine binary for a binary or a commit, building the commit if need be.
engine_for() {
    local what=$1
    if [ -f "$what" ] && [ -x "$what" ]; then
        (cd "$(dirname "$what")" && echo "$PWD/$(basename "$what")")
        return
    fi
    local hash
    hash=$(git -C "$root" rev-parse --verify --quiet "$what^{commit}") || {
        echo "$what is neither an executable nor a commit" >&2
        exit 2
    }
    local short=${hash:0:12}
    local tree="$root/build/compare/src-$short" build="$root/build/compare/build-$short"
    # The build finds the shared test data beside its source tree, as the
    # repository's own build does.
    mkdir -p "$root/build/compare"
    [ -e "$root/build/compare/shared" ] || ln -s "$root/../shared" "$root/build/compare/shared"
    if [ ! -d "$tree" ]; then
        git -C "$root" worktree add --detach "$tree" "$hash" >/dev/null 2>&1
    fi
    local targets=(--target falkmere)
    [ $with_eval = 1 ] && targets+=(--target falkmere_bench)
    cmake -S "$tree" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFALKMERE_TESTS=OFF -DFALKMERE_BENCH=ON \
        >/dev/null
    nice cmake --build "$build" -j2 "${targets[@]}" >/dev/null
    echo "$build/falkmere"
}

bin_a=$(engine_for "$1")
bin_b=$(engine_for "$2")
echo "A: $1 ($bin_a)"
echo "B: $2 ($bin_b)"

# CPU seconds (user + system) of one engine process fed `commands`; the
# process output goes to file `out`.
cpu_run() {
    local bin=$1 commands=$2 out=$3
    local TIMEFORMAT='%U %S'
    local t
    t=$( { time (cd "$scratch" && printf '%b' "$commands" | "$bin" >"$out" 2>&1); } 2>&1)
    awk -v t="$t" 'BEGIN { split(t, p, " "); printf "%.4f\n", p[1] + p[2] }'
}

# CPU seconds per evaluation of the evaluation benchmark (caches off): the time
# of one pass over its positions over their number.
eval_run() {
    local bench_bin=$1
    "$bench_bin" --benchmark_filter='evaluations/caches_off' --benchmark_min_time=1 --benchmark_format=csv 2>/dev/null |
        awk -F, '/caches_off/ { unit = $5; gsub(/"/, "", unit); t = $4; n = $NF;
                 if (unit == "ns") t /= 1e9; else if (unit == "us") t /= 1e6; else if (unit == "ms") t /= 1e3;
                 printf "%.12f\n", t / n }'
}

declare -a a_bench b_bench a_perft b_perft a_eval b_eval a_nodes b_nodes
measure() { # side binary
    local side=$1 bin=$2 t nodes start
    t=$(cpu_run "$bin" 'bench\nquit\n' "$scratch/bench.$side")
    nodes=$(sed -n 's/.*bench: \([0-9]*\) nodes.*/\1/p' "$scratch/bench.$side")
    eval "${side}_bench+=($t)"
    eval "${side}_nodes+=($nodes)"
    # perft 5 four times in one process, less the start-up and exit of a process that only quits.
    t=$(cpu_run "$bin" 'perft 5\nperft 5\nperft 5\nperft 5\nquit\n' "$scratch/perft.$side")
    start=$(cpu_run "$bin" 'quit\n' "$scratch/quit.$side")
    t=$(awk -v t="$t" -v s="$start" 'BEGIN { d = (t - s) / 4; printf "%.4f\n", (d > 0.0001 ? d : 0.0001) }')
    eval "${side}_perft+=($t)"
    if [ $with_eval = 1 ]; then
        t=$(eval_run "$(dirname "$bin")/falkmere_bench")
        eval "${side}_eval+=($t)"
    fi
}

for ((i = 1; i <= runs; ++i)); do
    if ((i % 2)); then
        measure a "$bin_a"
        measure b "$bin_b"
    else
        measure b "$bin_b"
        measure a "$bin_a"
    fi
    printf 'round %d: bench %s s / %s s, perft 5 %s s / %s s\n' "$i" "${a_bench[-1]}" "${b_bench[-1]}" \
        "${a_perft[-1]}" "${b_perft[-1]}" >&2
done

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
# Median, min and max of the per-round ratios A/B of times (B's speed-up).
ratios() { # name of A's array, name of B's array
    local -n xs=$1 ys=$2
    local r=() k
    for k in "${!xs[@]}"; do r+=("$(awk -v a="${xs[$k]}" -v b="${ys[$k]}" 'BEGIN { printf "%.4f", a / b }')"); done
    local sorted
    sorted=$(printf '%s\n' "${r[@]}" | sort -g)
    printf '%.3f (%.3f..%.3f)' "$(median "${r[@]}")" "$(echo "$sorted" | head -1)" "$(echo "$sorted" | tail -1)"
}

nodes_a=$(median "${a_nodes[@]}")
nodes_b=$(median "${b_nodes[@]}")
ma=$(median "${a_bench[@]}")
mb=$(median "${b_bench[@]}")
echo "runs: $runs, CPU time, medians; ratio = speed of B / speed of A, median (min..max) of the rounds"
printf 'bench nodes  A %s  B %s\n' "$nodes_a" "$nodes_b"
printf 'bench        A %.3f s %.0f nps  B %.3f s %.0f nps  ratio %s\n' "$ma" "$(awk -v n="$nodes_a" -v t="$ma" 'BEGIN { print n / t }')" \
    "$mb" "$(awk -v n="$nodes_b" -v t="$mb" 'BEGIN { print n / t }')" "$(ratios a_bench b_bench)"
printf 'perft 5      A %.3f s  B %.3f s  ratio %s\n' "$(median "${a_perft[@]}")" "$(median "${b_perft[@]}")" \
    "$(ratios a_perft b_perft)"
if [ $with_eval = 1 ]; then
    printf 'eval         A %.3f us  B %.3f us  ratio %s\n' "$(awk -v t="$(median "${a_eval[@]}")" 'BEGIN { print t * 1e6 }')" \
        "$(awk -v t="$(median "${b_eval[@]}")" 'BEGIN { print t * 1e6 }')" "$(ratios a_eval b_eval)"
fi
