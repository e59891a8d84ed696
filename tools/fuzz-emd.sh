#!/usr/bin/env bash
# Builds the compressed-file fuzzer (clang, libFuzzer, address and undefined
# behaviour sanitizers) and runs it for a bounded time.
#   tools/fuzz-emd.sh [seconds]   (default 60)
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
seconds="${1:-60}"
out="$root/build/fuzz"
mkdir -p "$out/corpus"
sources=("$root/src/egtb/emdreader.cpp" "$root/src/egtb/emdwriter.cpp")
flags=(-std=c++20 -O1 -g -I"$root/src" -fno-omit-frame-pointer)
clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
    "$root/tools/fuzz/emd_fuzz.cc" "${sources[@]}" -o "$out/emd_fuzz"
clang++ "${flags[@]}" "$root/tools/fuzz/emd_seeds.cc" "${sources[@]}" -o "$out/emd_seeds"
"$out/emd_seeds" "$out/corpus"
"$out/emd_fuzz" -artifact_prefix="$out/" -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=70000 "$out/corpus"
