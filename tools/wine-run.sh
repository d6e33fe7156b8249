#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix:
#     tools/wine-run.sh PROGRAM [ARGS...]
# Standard input, output and error are the caller's and the exit code is the program's (its low
# byte, as the shell sees it). Wine's own tools run the same way in the same prefix
# (tools/wine-run.sh reg add 'HKCU\Software\...' /v NAME /d DATA /f).
#
# The prefix (FRAMECALC_WINEPREFIX, by default build/wineprefix in the source tree) is made on
# first use. One Wine server is kept running for it, so that a run costs tens of milliseconds
# instead of half a second; it ends itself FRAMECALC_WINESERVER_LINGER seconds (default 120)
# after the last program has gone, or at once with `tools/wine-run.sh --stop`.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
prefix="${FRAMECALC_WINEPREFIX:-$here/../build/wineprefix}"
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"

export WINEPREFIX="$prefix"
export WINEARCH=win32
export WINEDEBUG=-all
# No debugger for an unhandled exception (it would print a dump and wait), and no offer to
# install Mono or Gecko while the prefix is made.
export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"
unset DISPLAY WAYLAND_DISPLAY

if [ "${1:-}" = "--stop" ]; then
  wineserver -k 2>/dev/null || true
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
  # wineserver -k on a missing server fails; a probe that changes nothing: look for the socket
  # of this prefix's server (its name holds the prefix's device and inode numbers).
  local dir
  dir="/tmp/.wine-$(id -u)/server-$(stat -c '%D' "$prefix" | sed 's/^0*//')-$(stat -c '%i' "$prefix" | xargs printf '%x')"
  [ -S "$dir/socket" ] && pgrep -u "$(id -u)" -x wineserver >/dev/null 2>&1
}

ensure_ready() {
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/system.reg" ]; then
    echo "framecalc: making the Wine prefix $prefix (once, about half a minute)" >&2
    quiet wineboot -i || true
    quiet wineserver -w || true
  fi
  if ! server_running; then
    quiet setsid wineserver -p"${FRAMECALC_WINESERVER_LINGER:-120}" || true
    # The first program after a fresh server starts Wine's services; let that happen here, with
    # no caller's pipes to inherit.
    quiet wine cmd /c exit || true
  fi
  flock -u 9
  exec 9>&-
}

ensure_ready
exec wine "$@"
