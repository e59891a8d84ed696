#!/usr/bin/env bash
# Profile-guided Release build of the engine in build/pgo (or the directory
# given): an instrumented build runs `bench` as its training run, then the
# engine is rebuilt with that profile. Extra arguments go to CMake (for
# example -DFALKMERE_NATIVE=ON). The result is build/pgo/falkmere; its bench
# node count is the same as any other build's.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${PGO_BUILD_DIR:-$root/build/pgo}"
profile="$build/pgo-profile"

configure() { # step, extra CMake arguments
    local step=$1
    shift
    cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DFALKMERE_TESTS=OFF -DFALKMERE_BENCH=OFF \
        -DFALKMERE_PGO="$step" -DFALKMERE_PGO_DIR="$profile" "$@" >/dev/null
}

rm -rf "$profile"
configure GENERATE "$@"
nice cmake --build "$build" --target falkmere -j2 >/dev/null
# The training run, in a scratch directory so that no falkmere.ini is read.
scratch="$(mktemp -d)"
trap 'rm -rf "$scratch"' EXIT
(cd "$scratch" && printf 'bench\nquit\n' | "$build/falkmere" | grep 'bench:')
configure USE "$@"
# Every object is compiled again with the profile.
nice cmake --build "$build" --target falkmere -j2 --clean-first >/dev/null
(cd "$scratch" && printf 'bench\nquit\n' | "$build/falkmere" | grep 'bench:')
echo "profile-guided engine: $build/falkmere"
