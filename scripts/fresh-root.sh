#!/usr/bin/env bash
# Runs a command in a clean clone of this repository inside a fresh, minimal
# Debian 12 root: the base system (mmdebstrap's minbase), git and
# ca-certificates, nothing else, as a new user's machine is. What the README's
# commands forget to install fails here, however well prepared this machine is.
#
# Usage: scripts/fresh-root.sh [command...]   (default: bash scripts/test.sh)
#   The command runs as root in /root/tarvelmin, a clone of HEAD (uncommitted
#   changes are not in it), with CI and TARVELMIN_* passed through; the exit
#   code is the command's.
#
# The root is made once per build/ (build/fresh-root/base, from this machine's
# apt sources) and each run works on an overlay of it that is thrown away
# after. The root trusts the certificate authorities this machine added
# (/usr/local/share/ca-certificates) and resolves names as this machine does;
# nothing else of the machine goes in. The clone lives in
# build/fresh-root/clone, outside the overlay, so its logs stay readable
# after the run (build/fresh-root/clone/build/test-logs/). Needs root.
set -uo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root" || exit 1
[ "$(id -u)" -eq 0 ] || { echo "fresh-root: needs root (it makes a Debian root, mounts and chroots)" >&2; exit 1; }
[ $# -gt 0 ] || set -- bash scripts/test.sh

store="$root/build/fresh-root"
base="$store/base"
run="$store/run"
clone="$store/clone"
inside=/root/tarvelmin
mkdir -p "$store"

say() { echo "fresh-root: $*"; }

# mmdebstrap is the one thing this machine needs for it.
if ! command -v mmdebstrap >/dev/null; then
  say "installing mmdebstrap"
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap >/dev/null ||
    { apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends mmdebstrap; } ||
    { echo "fresh-root: mmdebstrap (Debian package mmdebstrap) could not be installed" >&2; exit 1; }
fi

# This machine's binary package sources (not deb-src: a new machine has none,
# and scripts/setup.sh must add them itself), one-line format.
machine_sources() {
  local f
  for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [ -f "$f" ] && grep -E '^[[:space:]]*deb[[:space:]]' "$f"
  done
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # deb822 paragraphs: one line per URI and suite, for those of type deb
    # that are not switched off.
    awk 'function flush() {
           if (types ~ /(^| )deb( |$)/ && enabled != "no")
             for (u = 1; u <= nu; u++) for (s = 1; s <= ns; s++)
               printf "deb %s%s %s %s\n", (signed != "" ? "[signed-by=" signed "] " : ""), uri[u], suite[s], comps
           types = ""; enabled = ""; signed = ""; comps = ""; nu = 0; ns = 0
         }
         /^[[:space:]]*#/ { next }
         /^[[:space:]]*$/ { flush(); next }
         { key = tolower($1); sub(/:$/, "", key); $1 = "" ; sub(/^ /, "") }
         key == "types" { types = $0 }
         key == "enabled" { enabled = tolower($0) }
         key == "signed-by" { signed = $0 }
         key == "components" { comps = $0 }
         key == "uris" { nu = split($0, uri, " ") }
         key == "suites" { ns = split($0, suite, " ") }
         END { flush() }' "$f"
  done
}

sources=$(machine_sources)
[ -n "$sources" ] || { echo "fresh-root: this machine has no Debian package sources to make a root from" >&2; exit 1; }
include=git,ca-certificates
key=$(printf '%s\n%s\n' "$sources" "$include" | md5sum | cut -d' ' -f1)

make_base() {
  if [ "$(cat "$store/base.ready" 2>/dev/null)" = "$key" ]; then return 0; fi
  rm -f "$store/base.ready"
  rm -rf --one-file-system "$base"
  local start=$SECONDS
  say "making a fresh Debian 12 root (once per build/): minbase with $include"
  printf '%s\n' "$sources" >"$store/sources.list"
  mmdebstrap --variant=minbase --mode=root --include="$include" bookworm "$base" "$store/sources.list" \
    >"$store/mmdebstrap.log" 2>&1 || { tail -n 30 "$store/mmdebstrap.log" >&2; return 1; }
  say "the root took $((SECONDS - start)) s and $(du -sh "$base" | cut -f1)"
  echo "$key" >"$store/base.ready"
}

mounts=()
# Processes still running in the root (a server a test left) would keep its
# mounts busy: they go first.
stop_processes() {
  local p pids=()
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$run" ] && pids+=("${p#/proc/}")
  done
  [ ${#pids[@]} -eq 0 ] && return 0
  kill -TERM "${pids[@]}" 2>/dev/null
  sleep 1
  kill -KILL "${pids[@]}" 2>/dev/null
  return 0
}
unmount_all() {
  local m
  grep -o " ${run}[^ ]*" /proc/mounts | sed 's/^ //' | sort -r | while read -r m; do
    umount "$m" 2>/dev/null || umount -l "$m"
  done
}
cleanup() {
  stop_processes
  unmount_all
  # The overlay goes; never while anything is still mounted in it.
  if ! grep -q " ${run}[ /]" /proc/mounts; then
    rm -rf --one-file-system "$store/upper" "$store/overlay-work" "$run"
  fi
}

open_root() {
  stop_processes
  unmount_all
  rm -rf --one-file-system "$store/upper" "$store/overlay-work" "$run" "$clone"
  mkdir -p "$store/upper" "$store/overlay-work" "$run"
  if ! mount -t overlay overlay -o "lowerdir=$base,upperdir=$store/upper,workdir=$store/overlay-work" "$run"; then
    say "no overlay here: working on a copy of the root"
    cp -a "$base/." "$run/" || return 1
  fi
  mount -t proc proc "$run/proc" &&
    mount -t sysfs sysfs "$run/sys" &&
    mount --rbind /dev "$run/dev" && mount --make-rslave "$run/dev" &&
    mount -t tmpfs -o mode=1777 tmpfs "$run/dev/shm" || return 1
  # A new machine on the same network: its name resolution, and the
  # authorities this machine was told to trust.
  cp -L /etc/resolv.conf "$run/etc/resolv.conf"
  cp -L /etc/hosts "$run/etc/hosts"
  if [ -d /usr/local/share/ca-certificates ]; then
    cp -rL /usr/local/share/ca-certificates/. "$run/usr/local/share/ca-certificates/"
    chroot "$run" /usr/sbin/update-ca-certificates >/dev/null 2>&1 || return 1
  fi
  # The root is thrown away after the run: dpkg need not sync every file it
  # unpacks to the disk.
  echo force-unsafe-io >"$run/etc/dpkg/dpkg.cfg.d/fresh-root-unsafe-io"
  # The clone: HEAD, as CI's clean clone has it.
  git -C "$root" clone -q --no-hardlinks "$root" "$clone" || return 1
  if [ -n "$(git -C "$root" status --porcelain --untracked-files=no)" ]; then
    say "note: uncommitted changes are not in the clone; it is HEAD ($(git -C "$root" rev-parse --short HEAD))"
  fi
  mkdir -p "$run$inside"
  mount --bind "$clone" "$run$inside"
}

start=$SECONDS
make_base || { echo "fresh-root: mmdebstrap could not make the root (log: $store/mmdebstrap.log)" >&2; exit 1; }
trap cleanup EXIT
trap 'exit 130' INT TERM
open_root || { echo "fresh-root: could not open the root in $run" >&2; exit 1; }
say "root ready after $((SECONDS - start)) s; running: $*"

environment=(HOME=/root LANG=C.UTF-8 TERM=dumb PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
for name in $(compgen -e); do
  case $name in CI | TARVELMIN_* | FUZZ_SECONDS) environment+=("$name=${!name}") ;; esac
done
status=0
chroot "$run" /usr/bin/env -i "${environment[@]}" sh -c 'cd "$0" && exec "$@"' "$inside" "$@" || status=$?
say "the command ended with $status after $((SECONDS - start)) s in all; its files are in $clone"
exit "$status"
