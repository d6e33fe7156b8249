#!/usr/bin/env bash
# Installs what building and testing framecalc needs, when it is missing (Debian packages).
# Usage: tools/install-deps.sh [extra-package ...]
#
# With FRAMECALC_WINDOWS=1 the Windows build's tools are installed too: the mingw-w64 cross
# compilers (i686, and x86-64 for machines that run no 32-bit code) and Wine, whose 32-bit half
# needs the i386 architecture, which is added first (and util-linux, whose setarch starts it);
# and where the kernel runs no 32-bit code, what makes and runs the virtual machine of the 32-bit
# tests (tools/make-wine-vm.sh): qemu, debootstrap and the ssh client. With FRAMECALC_RELEASE=1, what making and checking the release
# files needs (tools/make-release.sh, tools/test-release.sh): the Debian package tools and
# lintian, zip, and man for rendering the manual pages. Unless FRAMECALC_AARCH64=0, the aarch64
# build's cross compiler and qemu-user (whose qemu-aarch64-static runs its programs) are installed
# too. Unless FRAMECALC_WASM=0, the WebAssembly build's clang and lld (version 19), the WASI C
# library and its wasm32 C++ libraries, and node, which runs its tests (node only where none is on
# the path: a newer one installed otherwise stays).
set -euo pipefail

packages=(g++ cmake make binutils libgtest-dev libgmock-dev strace "$@")
windows_packages=(g++-mingw-w64-i686 binutils-mingw-w64-i686 g++-mingw-w64-x86-64
                  binutils-mingw-w64-x86-64 wine wine32:i386 wine64 util-linux)

release_packages=(dpkg-dev file zip unzip man-db groff-base bsdextrautils lintian)
aarch64_packages=(g++-aarch64-linux-gnu qemu-user-static)
wasm_packages=(clang-19 lld-19 wasi-libc libc++-19-dev-wasm32 libc++abi-19-dev-wasm32
               libclang-rt-19-dev-wasm32)

want_windows=1
if [ "${FRAMECALC_WINDOWS:-0}" = 0 ]; then want_windows=0; fi
if [ "${FRAMECALC_RELEASE:-0}" = 1 ]; then packages+=("${release_packages[@]}"); fi
if [ "${FRAMECALC_AARCH64:-1}" != 0 ]; then packages+=("${aarch64_packages[@]}"); fi
if [ "${FRAMECALC_WASM:-1}" != 0 ]; then
  packages+=("${wasm_packages[@]}")
  command -v node >/dev/null 2>&1 || packages+=(nodejs)
fi

missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
add_i386=0
if [ "$want_windows" = 1 ]; then
  for p in "${windows_packages[@]}"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  if ! dpkg --print-foreign-architectures | grep -qx i386; then add_i386=1; fi
  if bash "$(dirname "$0")/wine-run.sh" --uses-vm; then
    for p in qemu-system-x86 debootstrap openssh-client e2fsprogs util-linux; do
      dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
    done
  fi
fi
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
if [ "$add_i386" = 1 ]; then
  # Wine's 32-bit half comes from the i386 architecture.
  $SUDO dpkg --add-architecture i386
fi
# Other installs may hold the package lock for a while: wait for it rather than fail.
$SUDO apt-get -o DPkg::Lock::Timeout=900 update -qq </dev/null
$SUDO apt-get -o DPkg::Lock::Timeout=900 install -y -qq --no-install-recommends "${missing[@]}" </dev/null
