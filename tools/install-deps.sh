#!/usr/bin/env bash
# Installs what building and testing Falkmere needs on Debian, when it is missing.
# Extra packages can be named as arguments (for example tools that only some
# tests or scripts use).
set -euo pipefail

packages=(build-essential cmake libgtest-dev libbenchmark-dev "$@")
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -qq
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
