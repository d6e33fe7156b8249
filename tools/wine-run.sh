#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix:
#     tools/wine-run.sh PROGRAM [ARGS...]
# Standard input, output and error are the caller's and the exit code is the program's (its low
# byte, as the shell sees it). Wine's own tools run the same way in the same prefix
# (tools/wine-run.sh reg add 'HKCU\Software\...' /v NAME /d DATA /f).
#
# The prefix (FRAMECALC_WINEPREFIX, by default build/wineprefix-win32 or -win64 in the source
# tree) is made on first use. Its kind follows the program: a 32-bit executable runs in a win32
# prefix, a 64-bit one in a win64 prefix; FRAMECALC_WINEARCH chooses for commands that are no
# file (reg ...), win32 by default. One Wine server is kept running for it, so that a run costs tens of milliseconds
# instead of half a second; it ends itself FRAMECALC_WINESERVER_LINGER seconds (default 120)
# after the last program has gone, or at once with `tools/wine-run.sh --stop`.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"

# The machine field of a PE executable's header: 8664 for x86-64, 014c for x86.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

arch="${FRAMECALC_WINEARCH:-}"
if [ -z "$arch" ] && [ -f "${1:-}" ] && [ "$(pe_machine "$1")" = 8664 ]; then arch=win64; fi
arch="${arch:-win32}"
if [ "$arch" = win64 ]; then
  loader=/usr/lib/wine/wine64
  server=/usr/lib/wine/wineserver64
  export WINELOADER=$loader
else
  loader=wine
  server=wineserver
fi

prefix="${FRAMECALC_WINEPREFIX:-$here/../build/wineprefix-$arch}"
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"

export WINEPREFIX="$prefix"
export WINEARCH=$arch
export WINEDEBUG=-all
# No debugger for an unhandled exception (it would print a dump and wait), and no offer to
# install Mono or Gecko while the prefix is made.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
unset DISPLAY WAYLAND_DISPLAY

if [ "${1:-}" = "--stop" ]; then
  "$server" -k 2>/dev/null || true
  exit 0
fi
if [ $# -eq 0 ]; then
  echo "usage: tools/wine-run.sh PROGRAM [ARGS...] | --stop" >&2
  exit 2
fi

# Everything Wine starts in the background (its server and services) gets no standard stream of
# the caller: a caller that waits for the end of the program's output would wait for them too.
quiet() { "$@" </dev/null >/dev/null 2>&1; }

server_running() {
  # The prefix's server runs in a directory named after the prefix's device and inode numbers.
  local id pid
  id="server-$(stat -c '%D' "$prefix" | sed 's/^0*//')-$(printf '%x' "$(stat -c '%i' "$prefix")")"
  for pid in $(pgrep -u "$(id -u)" wineserver 2>/dev/null); do
    case "$(readlink "/proc/$pid/cwd" 2>/dev/null)" in */"$id") return 0 ;; esac
  done
  return 1
}

ensure_ready() {
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    echo "framecalc: making the Wine prefix $prefix (once; this takes a few minutes)" >&2
    quiet "$loader" wineboot -i || true
    quiet "$server" -w || true
  fi
  if ! server_running; then
    quiet setsid "$server" -p"${FRAMECALC_WINESERVER_LINGER:-120}" || true
    # The first program after a fresh server starts Wine's services; let that happen here, with
    # no caller's pipes to inherit.
    quiet "$loader" cmd /c exit || true
  fi
  flock -u 9
  exec 9>&-
}

ensure_ready
exec "$loader" "$@"
