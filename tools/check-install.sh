#!/usr/bin/env bash
# Installs a build into a scratch prefix and checks what was installed: the
# installed engine answers --version, every file is in place, and groff renders
# both manual pages without a single warning.
#   tools/check-install.sh BUILD_DIR
set -euo pipefail
build="$1"
install_dir="$(mktemp -d)"
trap 'rm -rf "$install_dir"' EXIT
cmake --install "$build" --prefix "$install_dir" >/dev/null
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
