#!/usr/bin/env bash
# Builds the libFuzzer targets of tools/fuzz/ (clang, address and undefined
# behaviour sanitizers, the board consistency checks) and runs each for a
# bounded time on its corpus. Inputs that crash or hang are left in
# build/fuzz/artifacts/, and the script fails.
#   tools/fuzz.sh [seconds-per-target] [target...]   (default 60 s, every target)
# Targets: fen movetext console uci epd pgn books ini tb emd.
# FUZZ_BUILD_ONLY=1 builds without running; FUZZ_JOBS sets the build jobs (2).
# FUZZ_FAST=1 builds for long campaigns instead, in build/fuzz-fast/ (or
# FUZZ_FAST_DIR): -O2, no board consistency checks and no comparison hooks in
# the searching code (the sanitizers stay), several times the executions per
# second; crashes it finds are then replayed on the checked build.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
shift || true
all=(fen movetext console uci epd pgn books ini tb emd)
targets=("$@")
[ "${#targets[@]}" -eq 0 ] && targets=("${all[@]}")
out="$root/build/fuzz"
optimise=(-O1 -DFALKMERE_CHECKS)
if [ -n "${FUZZ_FAST:-}" ]; then
    out="${FUZZ_FAST_DIR:-$root/build/fuzz-fast}"
    optimise=(-O2)
fi
jobs="${FUZZ_JOBS:-2}"
command -v clang++ >/dev/null || "$root/tools/install-deps.sh" clang
mkdir -p "$out/obj" "$out/artifacts"

flags=(-std=c++20 "${optimise[@]}" -g -fno-omit-frame-pointer -I"$root/src"
       -Wall -Wextra -Wshadow -Werror -Wno-unused-lambda-capture -fsanitize=address,undefined -fno-sanitize-recover=undefined)

# The engine's sources (all but the entry point), instrumented for coverage,
# into one library; a source is compiled again only when it or a header changed.
newest_header=$(find "$root/src" -name '*.h' -printf '%T@\n' | sort -n | tail -1)
export FUZZ_FLAGS="${flags[*]} -fsanitize=fuzzer-no-link -fsanitize-coverage-ignorelist=$root/tools/fuzz/coverage-ignore.txt"
# The campaign build leaves the comparison hooks out of the search, the
# evaluation and the move machinery: no input text is compared there, and in
# the command streams their hooks took over a third of the time. Edge coverage
# and the sanitizers stay.
searching_code() {
    case "${1#"$root/src/"}" in
        eval/paramstext.cpp) return 1 ;; # reads the parameters' text form
        search/* | eval/* | board/board.cpp | board/movegen.cpp | board/makemove.cpp | board/attacks.cpp | board/see.cpp | \
        board/evasions.cpp | board/position.cpp | board/sliders.cpp) return 0 ;;
        *) return 1 ;;
    esac
}
pending=()
objects=()
while IFS= read -r source; do
    object="$out/obj/$(echo "${source#"$root/src/"}" | tr / _).o"
    objects+=("$object")
    if [ ! -f "$object" ] || [ "$source" -nt "$object" ] ||
       [ "$(stat -c %Y "$object")" -lt "${newest_header%.*}" ]; then
        extra=-fsanitize-coverage=trace-cmp
        [ -n "${FUZZ_FAST:-}" ] && searching_code "$source" && extra=-fno-sanitize-coverage=trace-cmp
        pending+=("$extra" "$source" "$object")
    fi
done < <(find "$root/src" -name '*.cpp' ! -name main.cpp | sort)
if [ "${#pending[@]}" -gt 0 ]; then
    printf '%s\0' "${pending[@]}" | nice xargs -0 -n3 -P"$jobs" bash -c 'clang++ $FUZZ_FLAGS "$0" -c "$1" -o "$2"' ||
        { echo "fuzz: building the library failed"; exit 1; }
fi
if [ "${#pending[@]}" -gt 0 ] || [ ! -f "$out/libfalkmere_fuzz.a" ]; then
    rm -f "$out/libfalkmere_fuzz.a"
    ar rcs "$out/libfalkmere_fuzz.a" "${objects[@]}"
fi

newest_driver=$(find "$root/tools/fuzz" -name '*.h' -printf '%T@\n' | sort -n | tail -1)
for target in "${targets[@]}"; do
    binary="$out/${target}_fuzz"
    if [ -f "$binary" ] && [ "$binary" -nt "$out/libfalkmere_fuzz.a" ] &&
       [ "$binary" -nt "$root/tools/fuzz/${target}_fuzz.cc" ] &&
       [ "$(stat -c %Y "$binary")" -ge "${newest_driver%.*}" ]; then
        continue
    fi
    nice clang++ "${flags[@]}" -fsanitize=fuzzer -I"$root/tools/fuzz" "$root/tools/fuzz/${target}_fuzz.cc" \
        "$out/libfalkmere_fuzz.a" -lpthread -o "$out/${target}_fuzz"
done
[ -n "${FUZZ_BUILD_ONLY:-}" ] && exit 0

# Largest input per target: stream and file targets get room for long lines.
max_len() {
    case "$1" in
        fen) echo 256 ;;
        movetext) echo 512 ;;
        emd) echo 70000 ;;
        tb) echo 4096 ;;
        *) echo 8192 ;;
    esac
}

status=0
for target in "${targets[@]}"; do
    work="$out/corpus/$target"
    mkdir -p "$work"
    if [ "$target" = emd ]; then
        clang++ -std=c++20 -O1 -I"$root/src" "$root/tools/fuzz/emd_seeds.cc" "$root/src/egtb/emdwriter.cpp" \
            "$root/src/egtb/emdreader.cpp" -o "$out/emd_seeds"
        "$out/emd_seeds" "$work"
    fi
    echo "=== fuzz $target: ${seconds}s"
    if ! (cd "$out" && nice "$out/${target}_fuzz" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2048 \
            -max_len="$(max_len "$target")" -print_final_stats=1 -artifact_prefix="$out/artifacts/$target-" \
            "$work" "$root/tools/fuzz/corpus/$target" 2>"$out/$target.log"); then
        echo "fuzz $target FAILED; see $out/$target.log and $out/artifacts/"
        grep -E "ERROR|SUMMARY|Test unit written" "$out/$target.log" | head -5 || true
        status=1
    fi
    grep -E "stat::number_of_executed_units|stat::peak_rss_mb|Done [0-9]+ runs" "$out/$target.log" || true
done
exit "$status"
