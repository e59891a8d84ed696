#!/usr/bin/env bash
# Builds and runs every test twice: a Release build, then a Debug build with the
# board invariant checks under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
jobs="$(nproc)"
# The Gaviota tablebases are the oracle of the tablebase generator tests;
# groff renders the installed manual pages.
"$root/tools/install-deps.sh" gaviotatb libgaviotatb-dev groff-base

cmake -S "$root" -B "$root/build/release" -DCMAKE_BUILD_TYPE=Release -DFALKMERE_TESTS=ON -DFALKMERE_BENCH=ON
cmake --build "$root/build/release" -j"$jobs"
(cd "$root/build/release" && ctest --output-on-failure -j"$jobs")
# The installation: the installed engine answers --version, every file is in
# place, and groff renders both manual pages without a single warning.
install_dir="$(mktemp -d)"
trap 'rm -rf "$install_dir"' EXIT
cmake --install "$root/build/release" --prefix "$install_dir" >/dev/null
version="$("$install_dir/bin/falkmere" --version)"
[[ "$version" =~ ^Falkmere\ [0-9]+\.[0-9]+$ ]] || { echo "falkmere --version printed: $version" >&2; exit 1; }
for file in bin/falkmere-tbgen share/doc/falkmere/falkmere.ini share/doc/falkmere/README.md; do
    [ -s "$install_dir/$file" ] || { echo "not installed: $file" >&2; exit 1; }
done
for page in falkmere falkmere-tbgen; do
    warnings="$(groff -man -Tutf8 -ww -z "$install_dir/share/man/man6/$page.6" 2>&1)"
    [ -z "$warnings" ] || { echo "$page.6: $warnings" >&2; exit 1; }
done
echo "installed and checked: $version, falkmere(6), falkmere-tbgen(6)"
# Two games under the real xboard GUI against phalanx, headless.
FALKMERE="$root/build/release/falkmere" "$root/tools/xboard-match.sh" 2

cmake -S "$root" -B "$root/build/sanitize" -DCMAKE_BUILD_TYPE=Debug -DFALKMERE_SANITIZE=ON -DFALKMERE_TESTS=ON -DFALKMERE_BENCH=OFF
cmake --build "$root/build/sanitize" -j"$jobs"
(cd "$root/build/sanitize" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --output-on-failure -j"$jobs")
