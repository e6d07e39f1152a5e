#!/usr/bin/env bash
# tools/clean-room.sh SUITE COMMAND...
#
# Runs COMMANDs in a clean room: a minimal Debian tree of SUITE (bookworm is Debian 12, trixie
# Debian 13) made with debootstrap from the Debian archive this machine's apt already uses, with
# nothing in it but what `debootstrap --variant=minbase` gives, git and make. The checkout's
# committed HEAD is cloned into it at /work/quildor, and each COMMAND (one shell command line per
# argument, e.g. 'make run' 'make test') runs there in turn as root, with a plain environment
# (LANG=C.UTF-8, a standard PATH, nothing of the caller's), until one fails. Whatever a command
# needs it must install itself, as a newcomer's machine would: that is what this proves.
#
# The tree gets proc, sys, dev, dev/pts and fresh tmpfs on dev/shm, tmp and run; package scripts
# start no services in it. On every exit path the processes left in the tree are ended, every
# mount is undone and the tree is removed (QUILDOR_CLEAN_ROOM_KEEP=1 keeps it, unmounted, for a
# look). The host's own packages are never touched. Exits with the failing command's status, or
# 0 when all passed. Needs root and the host's debootstrap (installed here when missing).
set -euo pipefail

if [ $# -lt 2 ]; then
  echo "usage: $0 SUITE COMMAND..." >&2
  exit 2
fi
suite=$1
shift
[ "$(id -u)" -eq 0 ] || { echo "clean-room: needs root (debootstrap, chroot, mount)" >&2; exit 2; }
repo=$(cd "$(dirname "$0")/.." && pwd)

if ! command -v debootstrap >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends debootstrap \
    >/dev/null
fi

# The Debian archive the host's apt fetches from (its main suite, not security or updates).
mirror=$(apt-get indextargets --format '$(ORIGIN)|$(REPO_URI)' 2>/dev/null |
         awk -F'|' '$1 == "Debian" && $2 !~ /security/ {print $2; exit}')
if [ -z "$mirror" ]; then
  mirror=http://deb.debian.org/debian/
  echo "clean-room: the host's apt names no Debian archive; using $mirror"
fi

base=${QUILDOR_CLEAN_ROOM_DIR:-/var/tmp/quildor-clean-room}
mkdir -p "$base"
root=$(mktemp -d "$base/$suite.XXXXXX")
chmod 755 "$root"   # the tree's /, which unprivileged users of the tests must traverse
mounts=()

cleanup() {
  local status=$?
  set +e
  # Servers a test left behind would hold the mounts: end every process rooted in the tree.
  for attempt in 1 2 3 4 5; do
    local pids=()
    for p in /proc/[0-9]*; do
      [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && pids+=("${p#/proc/}")
    done
    [ ${#pids[@]} -eq 0 ] && break
    kill -KILL "${pids[@]}" 2>/dev/null
    sleep 1
  done
  local i
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do
    umount -R "${mounts[i]}" 2>/dev/null || umount -R -l "${mounts[i]}"
  done
  if findmnt -rn -o TARGET | grep -q "^$root/"; then
    echo "clean-room: $root is still mounted; left in place" >&2
  elif [ "${QUILDOR_CLEAN_ROOM_KEEP:-0}" = 1 ]; then
    echo "clean-room: the tree is kept in $root"
  else
    rm -rf --one-file-system "$root"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

mount_in() {   # mount_in TARGET MOUNT-ARGUMENTS...: mounts inside the tree and remembers it
  local target=$root/$1
  shift
  mkdir -p "$target"
  mount "$@" "$target"
  mounts+=("$target")
}

started=$SECONDS
echo "clean-room: debootstrap $suite from $mirror into $root"
if ! debootstrap --variant=minbase --include=git,make,ca-certificates "$suite" "$root" "$mirror" \
    >"$root.debootstrap.log" 2>&1; then
  tail -n 20 "$root.debootstrap.log" >&2
  rm -f "$root.debootstrap.log"
  exit 1
fi
rm -f "$root.debootstrap.log"
echo "clean-room: tree made in $((SECONDS - started)) s"

# Package scripts start no services, as in any chroot; name resolution as the host has it.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cp -L /etc/resolv.conf "$root/etc/resolv.conf"

mount_in proc -t proc proc
mount_in sys --rbind /sys
mount --make-rslave "$root/sys"
mount_in dev --bind /dev
mount_in dev/pts --bind /dev/pts
mount_in dev/shm -t tmpfs -o mode=1777,nosuid,nodev tmpfs
mount_in tmp -t tmpfs -o mode=1777,nosuid,nodev tmpfs
mount_in run -t tmpfs -o mode=755,nosuid,nodev tmpfs

mkdir -p "$root/work"
git clone -q --no-hardlinks "$repo" "$root/work/quildor"
echo "clean-room: $(git -C "$repo" log -1 --format='%h %s' | cut -c1-100)"

for command in "$@"; do
  echo "clean-room ($suite): $command"
  step=$SECONDS
  # In the background, so that a signal to this script is taken at once (the wait ends) and the
  # clean-up ends the command too.
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    /bin/bash -c 'cd /work/quildor && eval "$1"' command "$command" </dev/null &
  status=0
  wait $! || status=$?
  echo "clean-room ($suite): '$command' exited $status after $((SECONDS - step)) s"
  [ $status -eq 0 ] || exit $status
done
echo "clean-room ($suite): all passed in $((SECONDS - started)) s"
