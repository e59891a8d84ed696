#!/usr/bin/env bash
# Builds and runs every test twice: a Release build, then a Debug build with the
# board invariant checks under AddressSanitizer and UndefinedBehaviorSanitizer;
# then the multi-threaded tests under ThreadSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
# The Gaviota tablebases are the oracle of the tablebase generator tests; Debian's
# polyglot program makes and dumps the Polyglot books the book reader is checked
# on; groff renders the installed manual pages.
"$root/tools/install-deps.sh" gaviotatb libgaviotatb-dev polyglot groff-base
"$root/tools/check-layers.sh"
"$root/tools/check-format.sh"

cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DFALKMERE_TESTS=ON -DFALKMERE_BENCH=ON
cmake --build "$root/build/release" -j"$jobs"
(cd "$root/build/release" && ctest --output-on-failure -j"$jobs")
"$root/tools/check-install.sh" "$root/build/release"
# The bench node count is the search's signature, one per profile: it must be
# the one the README states, unless a commit changed the search on purpose and
# updated both.
check_bench() { # profile, README signature
    local benchdir nodes
    benchdir=$(mktemp -d)
    [ "$1" = classic ] || printf 'PROFILE %s\n' "$1" >"$benchdir/falkmere.ini"
    nodes=$(cd "$benchdir" && printf 'bench\nquit\n' | "$root/build/release/falkmere" |
            grep -a -o -E 'bench: [0-9]+' | grep -o -E '[0-9]+$' || true)
    rm -rf "$benchdir"
    if [ "$nodes" != "$2" ]; then
        echo "bench ($1) gives ${nodes:-no count} nodes, the README's signature is $2"
        exit 1
    fi
    echo "bench signature ($1): $nodes nodes"
}
signatures=$(grep -o -E 'signature[^*]*\*\*[0-9]+ nodes\*\*( \(modern\))?' "$root/README.md")
check_bench classic "$(grep -v modern <<<"$signatures" | head -n1 | grep -o -E '\*\*[0-9]+' | tr -d '*')"
check_bench modern "$(grep modern <<<"$signatures" | head -n1 | grep -o -E '\*\*[0-9]+' | tr -d '*')"
# Two games under the real xboard GUI against phalanx, headless, in each
# protocol: xboard, and UCI through Debian's polyglot adapter.
FALKMERE="$root/build/release/falkmere" "$root/tools/xboard-match.sh" 2
FALKMERE="$root/build/release/falkmere" PROTOCOL=uci OUT="$root/build/uci-match" "$root/tools/xboard-match.sh" 2

cmake -S "$root" -B "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DFALKMERE_SANITIZE=ON -DFALKMERE_TESTS=ON -DFALKMERE_BENCH=OFF
cmake --build "$root/build/sanitize" -j"$jobs"
(cd "$root/build/sanitize" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$jobs")

# The searches on several threads, and the program playing and analysing with
# helper threads, under ThreadSanitizer: a race fails the test (in the program
# through its exit status).
cmake -S "$root" -B "$root/build/tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DFALKMERE_TSAN=ON -DFALKMERE_TESTS=ON -DFALKMERE_BENCH=OFF
cmake --build "$root/build/tsan" -j"$jobs" --target falkmere_tests
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" "$root/build/tsan/falkmere_tests" --gtest_filter='Threads*'

# Every input the engine reads, fuzzed for a short while (10 s a target): FEN,
# move text, console/xboard and UCI command streams, suites, PGN, books and
# learning, falkmere.ini and tablebase files. A crash or hang fails the run.
"$root/tools/fuzz.sh" 10
