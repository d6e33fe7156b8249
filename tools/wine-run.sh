#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's own prefix:
#     tools/wine-run.sh PROGRAM [ARGS...]
# Standard input, output and error are the caller's and the exit code is the program's (its low
# byte, as the shell sees it). Wine's own tools run the same way in the same prefix
# (tools/wine-run.sh reg add 'HKCU\Software\...' /v NAME /d DATA /f).
#     tools/wine-run.sh --stop
# ends everything the runs have started: the prefixes' Wine servers and the virtual machine;
# --start boots the virtual machine now, --uses-vm answers (exit code 0) whether 32-bit programs
# run in it here.
#
# The prefix (FRAMECALC_WINEPREFIX, by default build/wineprefix-win32 or -win64 in the source
# tree) is made on first use. Its kind follows the program: a 32-bit executable runs in a win32
# prefix, a 64-bit one in a win64 prefix; FRAMECALC_WINEARCH chooses for commands that are no
# file (reg ...), win32 by default. One Wine server is kept running for it, so that a run costs tens of milliseconds
# instead of half a second; it ends itself FRAMECALC_WINESERVER_LINGER seconds (default 120)
# after the last program has gone, or at once with `tools/wine-run.sh --stop`.
#
# Where this machine's kernel runs no 32-bit code, Wine's 32-bit half cannot start here: a
# 32-bit program (and a command for the win32 prefix) then runs in a small virtual machine
# instead (tools/make-wine-vm.sh makes it once per machine), with the same command line, standard
# streams, exit code and LC_ALL, LC_MESSAGES and LANG. The first run boots it (about half a minute,
# more under load) and later runs reuse it (about a second each), until `tools/wine-run.sh
# --stop` or until it has not been used for FRAMECALC_VM_LINGER seconds (default 900; 0: never).
# The guest runs on a throw-away overlay of its image, so nothing of a session outlives it;
# within a session, `reg add` changes its registry for the following runs. The program and the
# files beside it whose names start with its own (framecalc.exe, framecalc.DEU, ...) are copied
# to the same path in the guest before it runs (again only when they change); the runs start in
# the caller's directory when the guest has it, else in /. Standard streams that are /dev/null or
# /dev/full are the guest's own; any other arrives as a pipe. FRAMECALC_WINE_VM=1 uses the
# virtual machine for every 32-bit run, FRAMECALC_WINE_VM=0 never. The session's state (the
# qemu process, its ssh port and the connection) is kept in FRAMECALC_VM_STATE (by default
# build/wine-vm in the source tree).
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
caller_dll_overrides=${WINEDLLOVERRIDES:-}

# The machine field of a PE executable's header: 8664 for x86-64, 014c for x86.
pe_machine() {
  local offset
  offset=$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ') || return 1
  [ -n "$offset" ] || return 1
  od -An -tx2 -j$((offset + 4)) -N2 "$1" 2>/dev/null | tr -d ' '
}

# Whether the kernel runs 32-bit x86 code itself: a 96-byte i386 ELF program that exits with 42
# (an emulator registered for such programs does not count: it does not carry Wine).
runs_32bit_code() {
  if grep -qs enabled /proc/sys/fs/binfmt_misc/qemu-i386; then return 1; fi
  local probe status=0
  probe=$(mktemp "${TMPDIR:-/tmp}/framecalc-i386.XXXXXX") || return 1
  printf '\177ELF\1\1\1\0\0\0\0\0\0\0\0\0\2\0\3\0\1\0\0\0\124\200\4\10\64\0\0\0\0\0\0\0\0\0\0\0\64\0\40\0\1\0\0\0\0\0\0\0\1\0\0\0\0\0\0\0\0\200\4\10\0\200\4\10\140\0\0\0\140\0\0\0\5\0\0\0\0\20\0\0\270\1\0\0\0\273\52\0\0\0\315\200' >"$probe"
  chmod 700 "$probe"
  "$probe" </dev/null >/dev/null 2>&1 || status=$?
  rm -f "$probe"
  [ "$status" = 42 ]
}

vm_state="${FRAMECALC_VM_STATE:-$here/../build/wine-vm}"

# ---------------------------------------------------------------------------------------------
# The virtual machine.

# The qemu process of the session, when it is alive and is the one started for this state folder.
vm_qemu_pid() {
  local pid
  pid=$(cat "$vm_state/qemu.pid" 2>/dev/null) || return 1
  [ -n "$pid" ] && tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null | grep -qF "$vm_state/qemu.pid" ||
    return 1
  echo "$pid"
}

vm_ssh_options() {
  local vm port
  vm=$(cat "$vm_state/vm")
  port=$(cat "$vm_state/port")
  ssh_options=(-F /dev/null -o BatchMode=yes -o IdentitiesOnly=yes
               -o "IdentityFile=$vm/id_ed25519" -o "UserKnownHostsFile=$vm/known_hosts"
               -o StrictHostKeyChecking=yes -o HostKeyAlias=framecalc-vm -o LogLevel=ERROR
               -o "ControlPath=$vm_state/ssh.ctl" -p "$port")
}

vm_master_alive() {
  [ -S "$vm_state/ssh.ctl" ] && vm_qemu_pid >/dev/null &&
    ssh "${ssh_options[@]}" -O check root@127.0.0.1 >/dev/null 2>&1
}

vm_stop_locked() {
  local pid
  if [ -f "$vm_state/port" ] && [ -f "$vm_state/vm" ]; then
    vm_ssh_options
    if [ -S "$vm_state/ssh.ctl" ]; then
      ssh "${ssh_options[@]}" -O exit root@127.0.0.1 >/dev/null 2>&1 || true
    fi
  fi
  if pid=$(vm_qemu_pid); then
    kill "$pid" 2>/dev/null || true
    for _ in $(seq 100); do
      kill -0 "$pid" 2>/dev/null || break
      sleep 0.1
    done
    kill -KILL "$pid" 2>/dev/null || true
  fi
  rm -rf "$vm_state/synced"
  rm -f "$vm_state/qemu.pid" "$vm_state/port" "$vm_state/ssh.ctl" "$vm_state/vm"
}

vm_boot() {
  local vm port started deadline
  vm=$(bash "$here/make-wine-vm.sh")
  vm_stop_locked
  # Interrupted while it boots: no half-started machine is left.
  trap 'vm_stop_locked; exit 130' INT
  trap 'vm_stop_locked; exit 143' TERM
  mkdir -p "$vm_state/synced"
  echo "$vm" >"$vm_state/vm"
  started=$(date +%s)
  mapfile -t qemu_args <"$vm/qemu-args"
  for _ in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 40000))
    if (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then continue; fi
    echo "$port" >"$vm_state/port"
    rm -f "$vm_state/qemu.pid"
    if qemu-system-x86_64 "${qemu_args[@]}" -snapshot \
         -netdev "user,id=net,hostfwd=tcp:127.0.0.1:$port-:22" \
         -device virtio-net-pci,netdev=net,romfile= \
         -serial "file:$vm_state/console.log" \
         -append "$(cat "$vm/kernel-args") framecalc.linger=${FRAMECALC_VM_LINGER:-900}" \
         -pidfile "$vm_state/qemu.pid" -daemonize </dev/null >"$vm_state/qemu.log" 2>&1; then
      break
    fi
    rm -f "$vm_state/port"
  done
  if ! vm_qemu_pid >/dev/null; then
    echo "framecalc: the virtual machine did not start:" >&2
    cat "$vm_state/qemu.log" >&2
    return 1
  fi
  vm_ssh_options
  deadline=$((started + ${FRAMECALC_VM_BOOT_TIMEOUT:-600}))
  # The guest answers once its Wine server is up; the connection stays open as the master that
  # every run goes through.
  until setsid -w ssh "${ssh_options[@]}" -o ConnectTimeout=20 -o ControlMaster=yes \
          -o ControlPersist=yes -o ServerAliveInterval=30 -o ServerAliveCountMax=10 -f -N \
          root@127.0.0.1 </dev/null >/dev/null 2>>"$vm_state/ssh.log"; do
    if ! vm_qemu_pid >/dev/null || [ "$(date +%s)" -gt "$deadline" ]; then
      echo "framecalc: the virtual machine did not come up; its console:" >&2
      tail -20 "$vm_state/console.log" >&2
      vm_stop_locked
      return 1
    fi
    sleep 1
  done
  trap - INT TERM
  echo "framecalc: virtual machine up after $(($(date +%s) - started)) s" >&2
}

vm_ensure_running() {
  mkdir -p "$vm_state"
  vm_state="$(cd "$vm_state" && pwd)"
  exec 7>"$vm_state/lock"
  flock 7
  if [ -f "$vm_state/port" ] && [ -f "$vm_state/vm" ]; then vm_ssh_options; fi
  if [ -z "${ssh_options+x}" ] || ! vm_master_alive; then
    vm_boot
  fi
  flock -u 7
  exec 7>&-
}

# Words quoted for the guest's shell.
quote() {
  local word
  for word in "$@"; do
    printf "'%s' " "${word//\'/\'\\\'\'}"
  done
}

# Copies the program and its neighbours (the files of its folder whose names start with its own
# name and a dot) to the same path in the guest, unless the copy there is up to date. The guest's
# command lines are made here, their words quoted for the guest's shell.
# shellcheck disable=SC2029
vm_place_files() {
  local program=$1 dir base stem record current file missing hash name
  dir=${program%/*}
  base=${program##*/}
  stem=${base%.*}
  local -a files=("$program")
  shopt -s nocaseglob nullglob
  for file in "$dir/$stem".*; do
    [ -f "$file" ] && [ "$file" != "$program" ] && files+=("$file")
  done
  shopt -u nocaseglob nullglob
  record="$vm_state/synced/$(printf '%s' "$dir/$stem" | sha1sum | cut -c1-20)"
  current=$(stat -c '%n|%s|%y|%i' "${files[@]}")
  if [ -f "$record" ] && [ "$(cat "$record")" = "$current" ]; then return 0; fi
  exec 6>"$vm_state/synced.lock"
  flock 6
  if [ -f "$record" ] && [ "$(cat "$record")" = "$current" ]; then
    exec 6>&-
    return 0
  fi
  local -a pairs=()
  declare -A by_hash=()
  while read -r hash file; do
    pairs+=("${file##*/}" "$hash")
    by_hash[$hash]=$file
  done < <(sha256sum "${files[@]}")
  missing=$(ssh "${ssh_options[@]}" root@127.0.0.1 "framecalc-place $(quote "$dir" "$stem" "${pairs[@]}")" </dev/null)
  if [ -n "$missing" ]; then
    for hash in $missing; do
      file=${by_hash[$hash]}
      ssh "${ssh_options[@]}" root@127.0.0.1 \
        "framecalc-store $(quote "$hash" "$dir" "${file##*/}")" <"$file"
    done
    ssh "${ssh_options[@]}" root@127.0.0.1 "framecalc-place $(quote "$dir" "$stem" "${pairs[@]}")" \
      </dev/null >/dev/null
  fi
  printf '%s\n' "$current" >"$record.new"
  mv -f "$record.new" "$record"
  exec 6>&-
}

vm_run() {
  local -a command=()
  if [ -f "$1" ]; then
    local program
    program=$(realpath -s "$1")
    vm_place_files "$program"
    command=("$program" "${@:2}")
  else
    command=("$@")
  fi
  local -a environment=()
  local name
  for name in LC_ALL LC_MESSAGES LANG; do
    if [ -n "${!name+x}" ]; then environment+=("$name=${!name}"); fi
  done
  if [ -n "$caller_dll_overrides" ]; then
    environment+=("WINEDLLOVERRIDES=winedbg.exe=d;mscoree=;mshtml=;$caller_dll_overrides")
  fi
  local redirect=""
  [ /dev/stdin -ef /dev/null ] && redirect+=" </dev/null"
  [ /dev/stdout -ef /dev/null ] && redirect+=" >/dev/null"
  [ /dev/stdout -ef /dev/full ] && redirect+=" >/dev/full"
  [ /dev/stderr -ef /dev/null ] && redirect+=" 2>/dev/null"
  [ /dev/stderr -ef /dev/full ] && redirect+=" 2>/dev/full"
  local tty=-T
  if [ -t 0 ] && [ -t 1 ]; then tty=-tt; fi
  exec ssh "${ssh_options[@]}" "$tty" root@127.0.0.1 \
    "exec framecalc-run $(quote "$PWD") env $(quote "${environment[@]}") wine $(quote "${command[@]}")$redirect"
}

# ---------------------------------------------------------------------------------------------
# Wine on this machine.

arch="${FRAMECALC_WINEARCH:-}"
if [ -z "$arch" ] && [ -f "${1:-}" ] && [ "$(pe_machine "$1")" = 8664 ]; then arch=win64; fi
arch="${arch:-win32}"

setup_local_wine() {
  if [ "$1" = win64 ]; then
    loader=/usr/lib/wine/wine64
    server=/usr/lib/wine/wineserver64
    export WINELOADER=$loader
  else
    loader=wine
    server=wineserver
    unset WINELOADER
  fi
  # Wine is started with the address space's randomisation off. Debian's Wine has no preloader
  # to hold the fixed places Wine needs before the C library runs, and Linux puts a 64-bit
  # program's heap anywhere in the gigabyte after its image: the loader's heap then lies over the
  # page at 0x7ffe0000 about once in 8,000 starts, and Wine gives up on its user shared data
  # there with exit code 1 and no word (its error message is one of those WINEDEBUG=-all turns
  # off). Without randomisation the heap starts right after the loader, far below that page.
  launch=(setarch "$(uname -m)" --addr-no-randomize "$loader")
  prefix="${FRAMECALC_WINEPREFIX:-$here/../build/wineprefix-$1}"
  export WINEPREFIX="$prefix"
  export WINEARCH=$1
  export WINEDEBUG=-all
  # No debugger for an unhandled exception (it would print a dump and wait), and no offer to
  # install Mono or Gecko while the prefix is made.
  export WINEDLLOVERRIDES="winedbg.exe=d;mscoree=;mshtml=${caller_dll_overrides:+;$caller_dll_overrides}"
  unset DISPLAY WAYLAND_DISPLAY
}

# Whether 32-bit programs run in the virtual machine here (exit code 0) or under this machine's
# own Wine (1).
uses_vm() {
  case "${FRAMECALC_WINE_VM:-auto}" in
    1) return 0 ;;
    0) return 1 ;;
    *) ! runs_32bit_code ;;
  esac
}

if [ "${1:-}" = "--uses-vm" ]; then
  uses_vm
  exit
fi
if [ "${1:-}" = "--start" ]; then
  # Boots the virtual machine now (making it first if need be), where 32-bit programs run in it.
  if uses_vm; then vm_ensure_running; fi
  exit 0
fi
if [ "${1:-}" = "--stop" ]; then
  for kind in win32 win64; do
    if [ -n "${FRAMECALC_WINEPREFIX:-}" ] && [ "$kind" != "$arch" ]; then continue; fi
    setup_local_wine "$kind"
    if [ -f "$prefix/system.reg" ]; then "$server" -k 2>/dev/null || true; fi
  done
  if [ -d "$vm_state" ]; then
    vm_state="$(cd "$vm_state" && pwd)"
    exec 7>"$vm_state/lock"
    flock -w 900 7 || true
    vm_stop_locked
  fi
  exit 0
fi
if [ $# -eq 0 ]; then
  echo "usage: tools/wine-run.sh PROGRAM [ARGS...] | --stop" >&2
  exit 2
fi

if [ "$arch" = win32 ] && uses_vm; then
  vm_ensure_running
  vm_run "$@"
fi

setup_local_wine "$arch"
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"
export WINEPREFIX="$prefix"

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
    quiet "${launch[@]}" wineboot -i || true
    quiet "$server" -w || true
  fi
  if ! server_running; then
    quiet setsid "$server" -p"${FRAMECALC_WINESERVER_LINGER:-120}" || true
    # The first program after a fresh server starts Wine's own services; let that happen here, with
    # no caller's pipes to inherit.
    quiet "${launch[@]}" cmd /c exit || true
  fi
  flock -u 9
  exec 9>&-
}

ensure_ready
exec "${launch[@]}" "$@"
