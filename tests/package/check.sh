#!/usr/bin/env bash
# The packages as users meet them. Runs scripts/package.sh, then:
#  - installs the Debian package with apt into a fresh Debian 12 root of our
#    own (build/package-root: made once per machine with mmdebstrap, kept;
#    each run works on an overlay of it, or a copy, and throws that away),
#    runs the programs there and starts tarvelmin from its desktop entry on
#    an Xvfb of our own; validates the installed desktop entry, AppStream
#    metadata and man pages;
#  - reads the arm64 Debian package: the same files, its architecture, arm64
#    programs, the same libraries' packages as dependencies; installs it with
#    apt into a fresh arm64 Debian 12 root (build/package-root-arm64), whose
#    programs run under qemu's emulator, where this machine can, and runs the
#    programs there;
#  - reads the Windows zip: both programs, GUI, with version, manifest and
#    icon; runs each under Wine where this machine can (scripts/run-wine.sh
#    --check) with the Wine test of tarvelmin.exe beside it.
# One line per check, "ok: ...", "FAIL: ..." or "not run: ..." (cannot run
# on this machine: neither passed nor failed), then
# "package: N passed, N failed, N not run"; the exit code is 1 if any failed.
# Logs go to build/test-logs/package/. Needs root (chroot, mount).
#
# tests/package/check.sh --arm64-root make|check: only makes the arm64 root
# (scripts/test.sh does so early, beside other steps), or only the checks
# in it; scripts/package.sh must have run for the second.
set -uo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
cd "$root" || exit 1
stage=""
[ "${1:-}" != --arm64-root ] || stage=${2:-check}
logs="$root/build/test-logs/package"
if [ -z "$stage" ]; then
  rm -rf "$logs"
else
  logs+=/arm64
fi
mkdir -p "$logs"
passed=0
failed=0
not_run=0

ok() { echo "ok: $1"; passed=$((passed + 1)); }
not_run() { echo "not run: $1"; not_run=$((not_run + 1)); }
fail() {
  echo "FAIL: $1"
  failed=$((failed + 1))
  if [ -n "${2:-}" ] && [ -s "$2" ]; then tail -n 20 "$2" | sed 's/^/    /'; fi
}
# check DESCRIPTION LOG COMMAND...: ok when COMMAND succeeds; else FAIL with the end of its log.
check() {
  local what=$1 log=$2
  shift 2
  if "$@" >"$log" 2>&1; then ok "$what"; else fail "$what" "$log"; fi
}
summary() {
  echo "package: $passed passed, $failed failed, $not_run not run"
  [ "$failed" -eq 0 ]
  exit
}

work=$(mktemp -d)
mounts=()
pids=()
cleanup() {
  local i
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; wait "$pid" 2>/dev/null; done
  for ((i = ${#mounts[@]} - 1; i >= 0; i--)); do umount "${mounts[i]}" 2>/dev/null || umount -l "${mounts[i]}"; done
  # This run's root goes; never while anything is still mounted in it.
  if [ -n "${run:-}" ] && ! grep -q " ${run}[ /]" /proc/mounts; then
    rm -rf --one-file-system "$store/upper" "$store/overlay-work" "$run"
  fi
  rm -rf --one-file-system "$work"
}
trap cleanup EXIT

source scripts/needs.sh
if [ -z "$stage" ] && ! needs mmdebstrap arch-test unshare unzip file x86_64-w64-mingw32-windres desktop-file-validate appstreamcli groff Xvfb \
  xdpyinfo xwininfo xprop xdotool import convert python3 2>"$logs/needs.log"; then
  fail "what the package checks run is installed" "$logs/needs.log"
  summary
fi
if [ -z "$stage" ]; then
  if ! bash scripts/package.sh >"$logs/package.log" 2>&1; then
    fail "scripts/package.sh makes the packages" "$logs/package.log"
    summary
  fi
  ok "scripts/package.sh makes the packages"
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/linux/CMakeCache.txt)
# The root's architecture and the package installed in it.
arch=amd64
[ -z "$stage" ] || arch=arm64
deb="tarvelmin_${version}_${arch}.deb"

# ---- Debian 12 ----------------------------------------------------------------

# A fresh Debian 12 root: Essential packages and apt, nothing else, from
# this machine's Debian mirror; for arm64, its programs run under the
# emulator.
store="$root/build/package-root$([ "$arch" = amd64 ] || echo "-$arch")"
base="$store/base"
make_root() {
  [ -f "$store/base.ready" ] && return 0
  rm -rf --one-file-system "$base"
  mkdir -p "$store"
  local start=$SECONDS
  echo "package: making a fresh $arch Debian 12 root in $base (once per machine)"
  mmdebstrap --variant=apt --mode=root --architectures="$arch" bookworm "$base" \
    "deb http://deb.debian.org/debian bookworm main" \
    "deb http://deb.debian.org/debian bookworm-updates main" \
    "deb http://deb.debian.org/debian-security bookworm-security main" || return 1
  echo "package: the root took $((SECONDS - start)) s and $(du -sh "$base" | cut -f1)"
  touch "$store/base.ready"
}

# This run's root: an overlay on the kept one (or a copy where overlays
# cannot be mounted), with apt's package lists kept between runs.
run="$store/run"
open_root() {
  # Whatever an interrupted run left mounted goes first.
  grep " ${run}[ /]" /proc/mounts | cut -d' ' -f2 | sort -r | xargs -r -n 1 umount -l
  rm -rf --one-file-system "$store/upper" "$store/overlay-work" "$run"
  mkdir -p "$store/upper" "$store/overlay-work" "$run" "$store/apt-lists"
  # In a user namespace, dpkg (under the emulator) met EXDEV renaming its
  # new directories on the overlay: there, a copy.
  if [ "$(readlink /proc/self/ns/user)" = "$(readlink /proc/1/ns/user)" ] &&
    mount -t overlay overlay -o "lowerdir=$base,upperdir=$store/upper,workdir=$store/overlay-work" "$run" 2>/dev/null; then
    mounts+=("$run")
  else
    cp -a "$base/." "$run/"
  fi
  mount -t proc proc "$run/proc" && mounts+=("$run/proc") || return 1
  # A root made in a user namespace has no device files of its own.
  if [ ! -c "$run/dev/null" ]; then
    mount --rbind /dev "$run/dev" && mounts+=("$run/dev") || return 1
  fi
  mount --bind "$store/apt-lists" "$run/var/lib/apt/lists" && mounts+=("$run/var/lib/apt/lists") || return 1
  cp /etc/resolv.conf "$run/etc/resolv.conf"
  cp "build/dist/$deb" "$run/root/"
}
# Runs a command in the root as root, with a clean environment.
root_env=(/usr/bin/env -i HOME=/root LC_ALL=C.UTF-8 DEBIAN_FRONTEND=noninteractive
  PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin)
in_root() { chroot "$run" "${root_env[@]}" "$@"; }

versions() {
  local said
  said="$(in_root tarvelmin --version) / $(in_root tarvelmin-record --version)"
  echo "$said"
  [ "$said" = "tarvelmin $version / tarvelmin-record $version" ] &&
    in_root tarvelmin --help | grep TARVELMIN_HOST && in_root tarvelmin-record --help | grep -- --frames
}

# The installed recorder's lap is the one tarvelmin-record in build/linux records.
record_in_root() {
  in_root sh -c 'tarvelmin-record --frames 3 --out /tmp/lap' || return 1
  build/linux/tools/tarvelmin-record --frames 3 --out "$work/lap" || return 1
  local f
  for f in frame-0001.png frame-0002.png frame-0003.png orbit.gif; do
    cmp "$work/lap/$f" "$run/tmp/lap/$f" || return 1
  done
  [ "$(ls "$run/tmp/lap")" = "$(ls "$work/lap")" ] || { echo "other files than $(ls "$work/lap" | tr '\n' ' ')"; return 1; }
}

debian_checks() {
  local fresh="a fresh Debian 12"
  [ "$arch" = amd64 ] || fresh="a fresh $arch Debian 12 (under the emulator)"
  in_root sh -c "apt-get update && cd /root && apt install -y ./$deb" >"$logs/apt-install.log" 2>&1 ||
    { fail "apt install ./$deb in $fresh" "$logs/apt-install.log"; return; }
  ok "apt install ./$deb in $fresh pulls in all it needs"

  # What users reach: the version, a short help, and one line when there is no display.
  check "tarvelmin and tarvelmin-record answer --version ($version) and --help" "$logs/version.log" versions
  in_root tarvelmin >"$work/out" 2>"$work/err"
  status=$?
  if [ "$status" -eq 1 ] && [ ! -s "$work/out" ] && [ "$(wc -l <"$work/err")" -eq 1 ] && grep -q display "$work/err"; then
    ok "tarvelmin without a display says so in one line and exits with 1"
  else
    { echo "exit $status; stdout:"; cat "$work/out"; echo "stderr:"; cat "$work/err"; } >"$logs/no-display.log"
    fail "tarvelmin without a display says so in one line and exits with 1" "$logs/no-display.log"
  fi
  check "tarvelmin-record records 3 frames and a GIF in the root, byte for byte the build's own recorder's" \
    "$logs/record.log" record_in_root

  # Exactly the programs and their desktop files: no tests, benchmarks or tools nobody runs.
  in_root dpkg -L tarvelmin | while read -r f; do [ -d "$run$f" ] || echo "$f"; done | sort >"$work/files"
  check "the package installs the two programs, desktop entry, icons, metainfo and man pages, nothing else" \
    "$logs/files.log" diff <(expected_files) "$work/files"

  # The rest is the same files on every architecture, and a display.
  [ "$arch" = amd64 ] || return 0
  local share="$run/usr/share"
  check "desktop-file-validate passes on the installed desktop entry" "$logs/desktop.log" \
    desktop-file-validate "$share/applications/tarvelmin.desktop"
  # validate-tree also finds the desktop entry and icon the metadata names.
  mkdir -p "$work/tree/usr/share"
  cp -r "$share/applications" "$share/metainfo" "$share/icons" "$work/tree/usr/share/"
  check "appstreamcli validate passes on the installed metainfo and its desktop entry" "$logs/appstream.log" \
    bash -c 'appstreamcli validate --no-net "$1"/metainfo/*.xml && appstreamcli validate-tree --no-net "$2"' \
    _ "$share" "$work/tree"
  check "the man pages format without a warning" "$logs/man.log" bash -c '
    for page in "$1"/man/man1/tarvelmin.1 "$1"/man/man1/tarvelmin-record.1; do
      out=$(LC_ALL=C.UTF-8 groff -man -Tutf8 -ww "$page" 2>&1 >/dev/null); [ -z "$out" ] || { echo "$page: $out"; exit 1; }
      LC_ALL=C.UTF-8 groff -man -Tutf8 -P-cbou "$page" | grep -q "^NAME" || { echo "$page: no NAME section"; exit 1; }
    done' _ "$share"

  desktop_entry_checks
}

# What the package installs, on every architecture.
expected_files() {
  printf '%s\n' /usr/bin/tarvelmin /usr/bin/tarvelmin-record /usr/share/applications/tarvelmin.desktop \
    /usr/share/icons/hicolor/{16x16,24x24,32x32,48x48,64x64,128x128,256x256}/apps/tarvelmin.png \
    /usr/share/icons/hicolor/scalable/apps/tarvelmin.svg /usr/share/man/man1/tarvelmin{,-record}.1 \
    /usr/share/metainfo/org.tarvelmin.tarvelmin.metainfo.xml | sort
}

# Xvfb of our own, on a display it picks; answers before anything uses it.
start_xvfb() {
  : >"$work/display"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  pids+=($!)
  local xvfb=$! deadline=$((SECONDS + 60))
  display=""
  while [ "$SECONDS" -lt "$deadline" ]; do
    [ -n "$display" ] || display=":$(head -n 1 "$work/display")"
    [ "$display" = ":" ] && display=""
    if [ -n "$display" ] && DISPLAY=$display timeout 20 xdpyinfo >/dev/null 2>&1; then return 0; fi
    kill -0 "$xvfb" 2>/dev/null || break
    sleep 0.2
  done
  echo "Xvfb did not answer within 60 s; its output:"
  cat "$work/xvfb.log"
  return 1
}

# The disc's centre in a picture of the client area: "x y", or nothing.
disc_centre() {
  import -display "$display" -window "$1" "$work/shot.png" 2>/dev/null || return 0
  convert "$work/shot.png" -depth 8 txt:- | awk -F'[,: ]+' '/#FF0000/ { n++; sx += $1; sy += $2 }
    END { if (n >= 9 && n <= 40) printf "%d %d\n", sx / n, sy / n }'
}

# As a user starts it: the desktop entry's command, on an X display. The
# window appears with its title, size and class, and the disc goes round
# once it has the focus.
desktop_entry_checks() {
  local what="tarvelmin starts from its desktop entry: a 640x480 window \"tarvelmin demo\" with the disc going round"
  local log="$logs/desktop-entry.log"
  start_xvfb >"$log" 2>&1 || { fail "$what" "$log"; return; }
  local command
  command=$(sed -n 's/^Exec=//p' "$run/usr/share/applications/tarvelmin.desktop" | sed 's/ *%[fFuUik]//g')
  chroot "$run" "${root_env[@]}" DISPLAY="$display" sh -c "exec $command" >>"$log" 2>&1 &
  local program=$!
  pids+=("$program")
  local window="" deadline=$((SECONDS + 60))
  while [ -z "$window" ] && [ "$SECONDS" -lt "$deadline" ] && kill -0 "$program" 2>/dev/null; do
    window=$(DISPLAY=$display xwininfo -root -tree 2>/dev/null | awk '/"tarvelmin demo"/ { print $1; exit }')
    [ -n "$window" ] || sleep 0.2
  done
  [ -n "$window" ] || { echo "no window \"tarvelmin demo\" appeared" >>"$log"; fail "$what" "$log"; return; }
  local size class
  size=$(DISPLAY=$display xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
  class=$(DISPLAY=$display xprop -id "$window" WM_CLASS)
  echo "window $window: $size, $class" >>"$log"
  [ "$size" = 640x480 ] || { fail "$what" "$log"; return; }
  # The desktop ties the window to the entry by its class.
  case $class in *'"tarvelmin"'*) ;; *) fail "$what" "$log"; return ;; esac
  DISPLAY=$display xdotool windowfocus --sync "$window" >>"$log" 2>&1
  local first="" now="" moved=""
  deadline=$((SECONDS + 60))
  while [ -z "$moved" ] && [ "$SECONDS" -lt "$deadline" ]; do
    now=$(disc_centre "$window")
    if [ -n "$now" ]; then
      # On the circle of radius 80 about the middle.
      echo "$now" | awk '{ r = sqrt(($1 - 320) ^ 2 + ($2 - 240) ^ 2); exit !(r > 75 && r < 85) }' ||
        { echo "disc at $now, off the circle" >>"$log"; fail "$what" "$log"; return; }
      [ -z "$first" ] && first=$now
      [ "$now" != "$first" ] && moved=1
    fi
    sleep 0.1
  done
  echo "disc first at ${first:-nowhere}, last at ${now:-nowhere}" >>"$log"
  [ -n "$moved" ] || { fail "$what" "$log"; return; }
  kill "$program"
  ok "$what"
}

# ---- Debian 12 on arm64: where arm64 programs run -----------------------------

# Whether the kernel runs an arm64 program by itself (a binfmt_misc
# registration sends it to the emulator). scripts/run-arm64.sh --check made
# the probe.
arm64_runs_here() { [ "$("$root/build/arm64-probe/probe" 2>/dev/null)" = arm64 ]; }

# Runs a command where arm64 programs run, when the kernel does not run them
# already: in a user namespace of its own (the ids mapped one to one) whose
# own binfmt_misc (Linux 6.7 on) sends them to the emulator, so that the
# kernel's registrations stay as they are. Where this cannot be (in a
# chroot the kernel makes no user namespace), says why in one line with
# exit code 77.
in_arm64_namespace() {
  local go="$work/namespace-go" pid status=0
  mkfifo "$go" || return 1
  unshare --user --mount --pid --fork --kill-child bash -c '
      read -r _ <"$0" || exit 77
      mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc 2>/dev/null ||
        { echo "a user namespace gets no binfmt_misc of its own here (Linux 6.7 on)"; exit 77; }
      grep -v "^#" /usr/lib/binfmt.d/qemu-aarch64.conf >/proc/sys/fs/binfmt_misc/register ||
        { echo "the emulator could not be registered in the namespace'"'"'s binfmt_misc"; exit 77; }
      shift
      exec "$@"' "$go" _ "$@" &
  pid=$!
  # Once it has its user namespace, its ids are mapped from here.
  local deadline=$((SECONDS + 60))
  while kill -0 "$pid" 2>/dev/null && [ "$(readlink "/proc/$pid/ns/user")" = "$(readlink /proc/self/ns/user)" ]; do
    [ "$SECONDS" -lt "$deadline" ] || { kill "$pid"; break; }
    sleep 0.05
  done
  if kill -0 "$pid" 2>/dev/null && echo "0 0 65536" >"/proc/$pid/uid_map" && echo "0 0 65536" >"/proc/$pid/gid_map"; then
    timeout 60 sh -c 'echo go >"$1"' _ "$go"
  else
    kill "$pid" 2>/dev/null
    wait "$pid"
    echo "no user namespace of our own can be made here (in a chroot the kernel makes none)"
    return 77
  fi
  wait "$pid" || status=$?
  return "$status"
}

if [ -n "$stage" ]; then
  if [ "${3:-}" != inside ] && ! arm64_runs_here; then
    in_arm64_namespace bash "$0" --arm64-root "$stage" inside
    exit
  fi
  arm64_runs_here || { echo "arm64 programs do not run even here"; exit 77; }
  make_root >"$logs/root.log" 2>&1 ||
    { echo "FAIL: mmdebstrap makes an arm64 Debian 12 root"; tail -n 20 "$logs/root.log" | sed 's/^/    /'; exit 1; }
  grep '^package:' "$logs/root.log"
  [ "$stage" = make ] && exit 0
  if open_root >"$logs/open-root.log" 2>&1; then debian_checks; else fail "entering the arm64 Debian 12 root" "$logs/open-root.log"; fi
  summary
fi

if [ "$(id -u)" -ne 0 ]; then
  not_run "the Debian package in a fresh Debian 12 root: making one and entering it needs root"
elif ! make_root >"$logs/root.log" 2>&1; then
  not_run "the Debian package in a fresh Debian 12 root: mmdebstrap could not make one: $(grep -E '^E:' "$logs/root.log" | head -n 1 || tail -n 1 "$logs/root.log")"
else
  grep '^package:' "$logs/root.log"
  if open_root >"$logs/open-root.log" 2>&1; then debian_checks; else fail "entering the Debian 12 root" "$logs/open-root.log"; fi
fi

# ---- arm64 --------------------------------------------------------------------

arm64_deb="build/dist/tarvelmin_${version}_arm64.deb"
# The Depends field's package names, one a line.
depends() { dpkg-deb -f "$1" Depends | tr ',' '\n' | sed 's/(.*//; s/[[:space:]]//g' | sort; }
arm64_control() {
  local a
  a=$(dpkg-deb -f "$arm64_deb" Architecture) || return 1
  echo "Architecture: $a"
  [ "$a" = arm64 ] || return 1
  # Worked out from the arm64 programs, the same libraries' packages as for amd64.
  diff <(depends "build/dist/$deb") <(depends "$arm64_deb")
}
arm64_programs() {
  mkdir -p "$work/arm64-deb"
  dpkg-deb -x "$arm64_deb" "$work/arm64-deb" || return 1
  local p
  for p in tarvelmin tarvelmin-record; do
    file "$work/arm64-deb/usr/bin/$p"
    file -b "$work/arm64-deb/usr/bin/$p" | grep -q '^ELF 64-bit LSB .* ARM aarch64' || return 1
  done
}
check "the arm64 package holds the same files as the amd64 one" "$logs/arm64-files.log" \
  diff <(expected_files) <(dpkg-deb -c "$arm64_deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' | sort)
check "the arm64 package is for Architecture arm64, depending on the amd64 one's libraries" \
  "$logs/arm64-control.log" arm64_control
check "the arm64 package's programs are 64-bit ARM ELF programs" "$logs/arm64-programs.log" arm64_programs

what="the arm64 package in a fresh arm64 Debian 12 root, under the emulator"
status=0
why=$(scripts/run-arm64.sh --check 2>&1) || status=$?
if [ "$(id -u)" -ne 0 ]; then
  not_run "$what: making one and entering it needs root"
elif [ "$status" -eq 2 ]; then
  fail "$what: ${why#arm64: }"
elif [ "$status" -ne 0 ]; then
  not_run "$what: ${why#arm64: }"
else
  status=0
  bash "$0" --arm64-root check >"$logs/arm64-root.log" 2>&1 || status=$?
  if [ "$status" -eq 77 ]; then
    not_run "$what: this kernel runs no arm64 program by itself, and $(tail -n 1 "$logs/arm64-root.log")"
  else
    grep -v '^package: [0-9]' "$logs/arm64-root.log"
    passed=$((passed + $(grep -c '^ok:' "$logs/arm64-root.log")))
    failed=$((failed + $(grep -c '^FAIL:' "$logs/arm64-root.log")))
    not_run=$((not_run + $(grep -c '^not run:' "$logs/arm64-root.log")))
    # One that ended without its summary failed in a way of its own.
    grep -q '^package: [0-9]' "$logs/arm64-root.log" || fail "$what: it ended with $status" "$logs/arm64-root.log"
  fi
fi

# ---- Windows ------------------------------------------------------------------

zip="build/dist/tarvelmin-$version-windows.zip"
mkdir -p "$work/zip"
unzipped() {
  (cd "$work/zip" && unzip -q "$root/$zip") || return 1
  local f
  for f in README.txt win32/tarvelmin.exe win64/tarvelmin.exe; do
    [ -s "$work/zip/tarvelmin-$version/$f" ] || { echo "no tarvelmin-$version/$f in $zip"; unzip -l "$zip"; return 1; }
  done
}
check "the Windows zip holds tarvelmin-$version/ with README.txt, win32/ and win64/tarvelmin.exe" "$logs/zip.log" unzipped
unpacked="$work/zip/tarvelmin-$version"

# What Explorer reads from the file: a GUI program, its version, manifest and icon.
exe_resources() {
  local exe=$1 kind=$2 rc="$logs/resources-$3.rc"
  file "$exe"
  file "$exe" | grep -q "$kind (GUI)" || { echo "not a $kind GUI program"; return 1; }
  x86_64-w64-mingw32-windres -i "$exe" -O rc >"$rc" || return 1
  local want
  for want in "VALUE \"FileVersion\", \"$version\"" "VALUE \"ProductVersion\", \"$version\"" \
    'VALUE "ProductName", "tarvelmin"' 'VALUE "FileDescription", "tarvelmin demo"' \
    "FILEVERSION ${version//./, }, 0" "RT_GROUP_ICON" "Microsoft.Windows.Common-Controls" \
    ">unaware</dpiAwareness>"; do
    grep -q -- "$want" "$rc" || { echo "no $want in its resources ($rc)"; return 1; }
  done
  # Windows refuses to start a program whose manifest is not well-formed XML (Wine does not).
  python3 - "$rc" <<'PY'
import re, sys, xml.etree.ElementTree as ET
rc = open(sys.argv[1]).read()
block = re.search(r'^1 24 /\* RT_MANIFEST \*/\nBEGIN\n(.*?)^END$', rc, re.S | re.M)
if not block:
    sys.exit("no manifest (RT_MANIFEST 1) in its resources")
text = "".join(s.replace('""', '"').replace("\\n", "\n") for s in re.findall(r'^\s*"(.*)"$', block.group(1), re.M))
try:
    ET.fromstring(text.encode())
except ET.ParseError as e:
    sys.exit(f"its manifest is not well-formed XML: {e}")
PY
}
for arch in win32 win64; do
  kind=$([ $arch = win32 ] && echo "PE32 executable" || echo "PE32+ executable")
  check "$arch/tarvelmin.exe is a $kind (GUI) with its version ($version), manifest and icon" \
    "$logs/resources-$arch.log" exe_resources "$unpacked/$arch/tarvelmin.exe" "$kind" "$arch"
done

# The unzipped program under Wine, with the Wine test of tarvelmin.exe (it
# starts tarvelmin.exe one folder up from itself, sees the disc go round, closes it).
for arch in win32 win64; do
  what="$arch/tarvelmin.exe from the zip shows its window with the disc going round under Wine"
  status=0
  why=$(scripts/run-wine.sh --check "$arch" 2>&1) || status=$?
  if [ "$status" -eq 2 ]; then
    fail "$what: ${why#"$arch: "}"
    continue
  elif [ "$status" -ne 0 ]; then
    not_run "$what: ${why#"$arch: "}"
    continue
  fi
  if ! cmake --build --preset "$arch" --target tarvelmin_exe_tests >"$logs/wine-$arch.log" 2>&1; then
    fail "$what" "$logs/wine-$arch.log"
    continue
  fi
  mkdir -p "$unpacked/$arch/tests"
  cp "build/$arch/tests/tarvelmin_exe_tests.exe" "$unpacked/$arch/tests/"
  check "$what" "$logs/wine-$arch.log" scripts/run-wine.sh "$unpacked/$arch/tests/tarvelmin_exe_tests.exe"
done

summary
