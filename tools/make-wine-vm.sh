#!/usr/bin/env bash
# Makes the small virtual machine in which the 32-bit Windows build runs under Wine on machines
# whose kernel runs no 32-bit code, and prints its folder:
#     tools/make-wine-vm.sh            (tools/wine-run.sh calls it when it needs the machine)
#
# The machine is Debian 12 (amd64 with the i386 architecture added) made from Debian's packages:
# debootstrap builds the root, apt adds wine, wine64, wine32:i386, the kernel and its initramfs,
# and a first boot makes the 32-bit Wine prefix. Packages come from the mirror that this machine's
# own apt sources name (FRAMECALC_VM_MIRROR chooses another). The guest is booted by
# qemu-system-x86_64 with TCG (no KVM needed), straight from the kernel and initramfs kept beside
# its root image; tools/wine-run.sh starts it, reaches it by ssh and stops it.
#
# The result is kept outside the work tree, in
#     ${FRAMECALC_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/framecalc-vm}/<hash of the scripts>
# (this one and the guest's, tools/wine-vm/) so that a machine makes it once (a few minutes; more
# under load) and every later run, of any checkout with the same scripts, takes it as it is. A
# changed script is a new machine; an old folder can be deleted at any time when no test run uses
# it. The machine is built in a temporary folder beside its final one and renamed into place when
# it is complete; a lock keeps two runs from building it at once (the second waits and then takes
# the first one's result).
#
# Making it needs root (or sudo) for debootstrap and for the image's file ownership.
set -euo pipefail

suite=bookworm

# ---------------------------------------------------------------------------------------------
# Run as root inside a private mount namespace: the root tree with every package. Whatever is
# mounted for the package scripts goes away with the namespace, also when this is interrupted.
if [ "${1:-}" = --make-tree ]; then
  tree=$2
  mirror=$3
  authorized_key=$4
  export DEBIAN_FRONTEND=noninteractive LC_ALL=C.UTF-8
  unset LANG LANGUAGE LC_MESSAGES
  debootstrap --variant=minbase --arch=amd64 --components=main "$suite" "$tree" "$mirror" \
    >"$tree.debootstrap.log" 2>&1 || { tail -30 "$tree.debootstrap.log" >&2; exit 1; }
  mount -t proc proc "$tree/proc"
  mount --rbind /dev "$tree/dev"

  # Nothing started while the packages are set up; no documentation.
  printf '#!/bin/sh\nexit 101\n' >"$tree/usr/sbin/policy-rc.d"
  chmod 755 "$tree/usr/sbin/policy-rc.d"
  cat >"$tree/etc/dpkg/dpkg.cfg.d/framecalc-nodoc" <<'EOF'
path-exclude=/usr/share/doc/*
path-exclude=/usr/share/man/*
path-exclude=/usr/share/info/*
path-exclude=/usr/share/locale/*
path-include=/usr/share/locale/locale.alias
EOF
  printf 'APT::Install-Recommends "false";\nAPT::Install-Suggests "false";\n' \
    >"$tree/etc/apt/apt.conf.d/90framecalc"
  echo "deb $mirror $suite main" >"$tree/etc/apt/sources.list"
  # A small initramfs: only what mounts the root disk.
  mkdir -p "$tree/etc/initramfs-tools/conf.d"
  echo "MODULES=list" >"$tree/etc/initramfs-tools/conf.d/framecalc"
  printf '%s\n' virtio_pci virtio_blk crc32c_generic ext4 >>"$tree/etc/initramfs-tools/modules"

  in_tree() { chroot "$tree" "$@" </dev/null; }
  in_tree dpkg --add-architecture i386
  in_tree apt-get -q -o DPkg::Lock::Timeout=900 update >/dev/null
  in_tree apt-get -q -y -o DPkg::Lock::Timeout=900 install \
    linux-image-amd64 initramfs-tools kmod iproute2 procps openssh-server \
    wine wine64 wine32:i386 >"$tree.packages.log" 2>&1 ||
    { tail -40 "$tree.packages.log" >&2; exit 1; }
  in_tree apt-get clean
  rm -rf "$tree"/var/lib/apt/lists/* "$tree/usr/sbin/policy-rc.d"

  # root logs in by key only, with /bin/sh as its shell (no start-up files, no locale warnings).
  sed -i 's#^root:\([^:]*:[^:]*:[^:]*:[^:]*:[^:]*\):.*$#root:\1:/bin/sh#' "$tree/etc/passwd"
  install -d -m 700 "$tree/root/.ssh"
  cp "$authorized_key" "$tree/root/.ssh/authorized_keys"
  chmod 600 "$tree/root/.ssh/authorized_keys"
  cat >"$tree/etc/ssh/sshd_config.d/framecalc.conf" <<'EOF'
PermitRootLogin prohibit-password
PasswordAuthentication no
KbdInteractiveAuthentication no
UsePAM no
UseDNS no
PrintMotd no
PrintLastLog no
MaxSessions 200
MaxStartups 200
AcceptEnv none
LogLevel ERROR
EOF
  echo framecalc-vm >"$tree/etc/hostname"

  # The guest's own scripts, from tools/wine-vm/ (part of the machine's cache key):
  # - framecalc-init, the guest's first process: mounts, network, one Wine server for the whole
  #   session, sshd; then it reaps orphans and powers the machine off once it has not been used
  #   for a while. Booted with framecalc.setup it makes the Wine prefix instead and powers off.
  # - framecalc-wine.env: the Wine prefix and settings of every Wine program in the guest.
  # - framecalc-run DIRECTORY COMMAND...: runs the command in the session's Wine prefix from the
  #   directory (from / when the guest has no such directory).
  # - framecalc-place DIRECTORY STEM [NAME HASH]...: makes the directory hold these files (from
  #   the guest's store of files by content), and no other file whose name starts with STEM.
  #   (case aside); prints the hashes that the store lacks.
  # - framecalc-store HASH DIRECTORY NAME: takes the file from standard input into the store and
  #   places it.
  guest="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)/wine-vm"
  install -m 755 "$guest/framecalc-init" "$tree/usr/local/sbin/framecalc-init"
  install -m 644 "$guest/framecalc-wine.env" "$tree/usr/local/lib/framecalc-wine.env"
  install -m 755 "$guest/framecalc-run" "$guest/framecalc-place" "$guest/framecalc-store" \
    "$tree/usr/local/bin/"
  exit 0
fi

# ---------------------------------------------------------------------------------------------
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The machine's key: this script and the guest's scripts (by their names in this folder, so that
# the key is the same in every checkout, in the C locale's order).
key=$(cd "$here" && export LC_ALL=C && sha256sum make-wine-vm.sh wine-vm/* | sha256sum | cut -c1-16)
cache_root=${FRAMECALC_VM_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/framecalc-vm}
vm=$cache_root/$key

if [ -f "$vm/ready" ]; then
  echo "$vm"
  exit 0
fi
mkdir -p "$cache_root"
exec 8>"$cache_root/$key.lock"
if ! flock -n 8; then
  echo "framecalc: waiting for another run that makes the virtual machine" >&2
  flock 8
fi
if [ -f "$vm/ready" ]; then
  echo "$vm"
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  if command -v sudo >/dev/null 2>&1; then SUDO=sudo; else
    echo "framecalc: making the virtual machine needs root (debootstrap)" >&2
    exit 1
  fi
else
  SUDO=
fi
for tool in debootstrap qemu-system-x86_64 mke2fs ssh ssh-keygen; do
  command -v "$tool" >/dev/null 2>&1 || [ -x "/usr/sbin/$tool" ] || {
    echo "framecalc: $tool is missing (FRAMECALC_WINDOWS=1 bash tools/install-deps.sh)" >&2
    exit 1
  }
done

# The Debian mirror of this machine's apt sources: the first source of the main component that
# is neither the security archive nor a ports or third-party archive.
host_mirror() {
  local file line uri="" types="" suites="" components=""
  for file in /etc/apt/sources.list.d/*.sources; do
    [ -f "$file" ] || continue
    # deb822 stanzas, separated by blank lines.
    while IFS= read -r line || [ -n "$line" ]; do
      case "$line" in
        Types:*) types=${line#Types:} ;;
        URIs:*) uri=${line#URIs:} ;;
        Suites:*) suites=${line#Suites:} ;;
        Components:*) components=${line#Components:} ;;
        "")
          if [[ " $types " == *" deb "* && " $components " == *" main "* &&
                " $suites " =~ \ [a-z]+\  && "$uri" == *debian* && "$uri" != *security* ]]; then
            # shellcheck disable=SC2086  # the first word of the field is the mirror
            set -- $uri
            echo "$1"
            return 0
          fi
          uri="" types="" suites="" components=""
          ;;
      esac
    done < <(sed '/^[[:space:]]*#/d; s/#.*//' "$file"; echo)
  done
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$file" ] || continue
    uri=$(sed -n 's/#.*//; s/\[[^]]*\]//; s/^[[:space:]]*deb[[:space:]]\+\([^[:space:]]*debian[^[:space:]]*\)[[:space:]]\+[a-z]\+[[:space:]].*\bmain\b.*/\1/p' "$file" |
          grep -v security | head -1)
    if [ -n "$uri" ]; then
      echo "$uri"
      return 0
    fi
  done
  return 1
}

mirror=${FRAMECALC_VM_MIRROR:-}
if [ -z "$mirror" ]; then
  mirror=$(host_mirror) || {
    echo "framecalc: no Debian mirror in /etc/apt/sources.list*; set FRAMECALC_VM_MIRROR" >&2
    exit 1
  }
fi
# apt's proxy, if this machine uses one, serves debootstrap too.
eval "$(apt-config shell http_proxy Acquire::http::Proxy 2>/dev/null || true)"
[ -n "${http_proxy:-}" ] && export http_proxy

echo "framecalc: making the virtual machine for the 32-bit Windows tests in $vm" >&2
echo "framecalc: (Debian $suite from $mirror; once per machine, a few minutes)" >&2
started=$(date +%s)

# Leftovers of an interrupted build of this same machine (the lock is ours, so nobody uses them).
for old in "$cache_root/$key".building.*; do
  [ -e "$old" ] && $SUDO rm -rf "$old"
done
work=$(mktemp -d "$cache_root/$key.building.XXXXXX")
qemu_pid=
tree_pid=
cleanup() {
  if [ -n "$tree_pid" ]; then
    # unshare waits for its namespace's first process whatever it is sent, short of SIGKILL
    # (under sudo, the unshare is sudo's child).
    local pid
    for pid in $(pgrep -P "$tree_pid" -x unshare) "$tree_pid"; do
      $SUDO kill -KILL "$pid" 2>/dev/null || true
    done
    wait "$tree_pid" 2>/dev/null || true
  fi
  if [ -n "$qemu_pid" ] && kill -0 "$qemu_pid" 2>/dev/null; then
    kill "$qemu_pid" 2>/dev/null || true
    wait "$qemu_pid" 2>/dev/null || true
  fi
  $SUDO rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

ssh-keygen -q -t ed25519 -N '' -C framecalc-vm -f "$work/id_ed25519"
# In namespaces of its own: its mounts and processes end with it, also when it is interrupted
# (the first process of a PID namespace takes every other one with it).
$SUDO unshare --mount --propagation private --pid --fork --kill-child \
  bash "$here/make-wine-vm.sh" --make-tree "$work/root" "$mirror" "$work/id_ed25519.pub" &
tree_pid=$!
wait "$tree_pid"
tree_pid=
echo "framecalc: root tree made after $(($(date +%s) - started)) s" >&2

kernel=$(printf '%s\n' "$work"/root/boot/vmlinuz-* | sort -V | tail -1)
version=${kernel##*/vmlinuz-}
$SUDO cp "$kernel" "$work/vmlinuz"
$SUDO cp "$work/root/boot/initrd.img-$version" "$work/initrd.img"
$SUDO chown "$(id -u):$(id -g)" "$work/vmlinuz" "$work/initrd.img"
chmod 644 "$work/vmlinuz" "$work/initrd.img"
echo "framecalc-vm $(cut -d' ' -f1-2 "$work/root/etc/ssh/ssh_host_ed25519_key.pub")" \
  >"$work/known_hosts"

# The root image: the tree and 1.5 GiB free for the programs and files of a test run.
used=$($SUDO du -s -B1M "$work/root" | cut -f1)
$SUDO mke2fs -q -t ext4 -L framecalc -m 0 -d "$work/root" "$work/root.img" "$((used + 1536))M" >&2
$SUDO chown "$(id -u):$(id -g)" "$work/root.img"
$SUDO rm -rf "$work/root"

# How every boot of this machine starts (one argument a line); tools/wine-run.sh adds the
# session's own (the throw-away overlay, the network, the kernel's command line).
cat >"$work/qemu-args" <<EOF
-nodefaults
-no-user-config
-machine
pc
-accel
tcg,thread=multi
-cpu
max,smap=off
-smp
2
-m
2048
-kernel
$vm/vmlinuz
-initrd
$vm/initrd.img
-drive
file=$vm/root.img,format=raw,if=virtio,cache=unsafe
-device
virtio-rng-pci
-display
none
-no-reboot
EOF
echo "console=ttyS0 root=/dev/vda rw init=/usr/local/sbin/framecalc-init quiet mitigations=off" \
  >"$work/kernel-args"

# First boot, on the image itself: Wine makes its prefix.
echo "framecalc: first boot, making the Wine prefix" >&2
boot_started=$(date +%s)
mapfile -t qemu_args < <(sed "s#$vm/#$work/#" "$work/qemu-args")
qemu-system-x86_64 "${qemu_args[@]}" -serial "file:$work/setup.log" \
  -append "$(cat "$work/kernel-args") framecalc.setup" </dev/null >"$work/qemu.log" 2>&1 &
qemu_pid=$!
deadline=$((boot_started + ${FRAMECALC_VM_SETUP_TIMEOUT:-1800}))
while kill -0 "$qemu_pid" 2>/dev/null; do
  if [ "$(date +%s)" -gt "$deadline" ]; then
    echo "framecalc: the first boot of the virtual machine did not end in time" >&2
    exit 1
  fi
  sleep 2
done
wait "$qemu_pid" || true
qemu_pid=
if ! grep -q "framecalc-setup: done" "$work/setup.log"; then
  echo "framecalc: the first boot of the virtual machine failed:" >&2
  tail -30 "$work/setup.log" "$work/qemu.log" >&2
  exit 1
fi
echo "framecalc: Wine prefix made in $(($(date +%s) - boot_started)) s" >&2

date -u +%Y-%m-%dT%H:%M:%SZ >"$work/ready"
[ -e "$vm" ] && $SUDO rm -rf "$vm"   # an incomplete folder that no run can use
mv -T "$work" "$vm"
trap - EXIT
echo "framecalc: virtual machine made in $(($(date +%s) - started)) s" >&2
echo "$vm"
