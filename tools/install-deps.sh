#!/usr/bin/env bash
# Installs what building and testing framecalc needs, when it is missing (Debian packages).
# Usage: tools/install-deps.sh [extra-package ...]
set -euo pipefail

packages=(g++ cmake make binutils libgtest-dev libgmock-dev strace "$@")
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
echo "framecalc: installing missing packages: ${missing[*]}" >&2
if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "framecalc: need root to install: ${missing[*]}" >&2
    exit 1
  fi
else
  SUDO=
fi
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq </dev/null
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" </dev/null
