#!/usr/bin/env bash
# Installs the Debian packages the project builds, tests, runs and packages
# with (scripts/packages lists them by step). Quick when everything is
# already there: it only calls apt-get for what is missing.
set -euo pipefail

# What each step needs: the table in scripts/packages.
packages=()
if_missing=()
while read -r _ package commands; do
  case $package in
    *:if-missing) if_missing+=("${package%:if-missing}:$commands") ;;
    *) packages+=("$package") ;;
  esac
done < <(grep -v '^#' "$(dirname "$0")/packages" | grep -v '^[[:space:]]*$')

# Changes to the system go through sudo unless we are root already.
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO=sudo

# Packages of another architecture (wine32:i386, the arm64 libraries) need
# it known to dpkg.
for arch in $(printf '%s\n' "${packages[@]}" | sed -n 's/^[^:]*://p' | sort -u); do
  [ "$arch" = "$(dpkg --print-architecture)" ] && continue
  if ! dpkg --print-foreign-architectures | grep -qx "$arch"; then
    $SUDO dpkg --add-architecture "$arch"
  fi
done

# The web build compiles pixman and FreeType from Debian's source packages.
sources=/etc/apt/sources.list.d/tarvelmin-sources.sources
fresh_sources=""
if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src' /etc/apt/sources.list; then
  printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm' 'Components: main' \
    'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' | $SUDO tee "$sources" >/dev/null
  fresh_sources=1
fi

missing=()
for p in "${packages[@]}"; do
  # dpkg-query answers per architecture when the name carries one.
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

# Those wanted only where nothing brought their commands already.
for entry in "${if_missing[@]}"; do
  have=""
  for c in ${entry#*:}; do command -v "$c" >/dev/null && have=1; done
  [ -n "$have" ] || missing+=("${entry%%:*}")
done

if [ ${#missing[@]} -eq 0 ]; then
  [ -z "$fresh_sources" ] || $SUDO apt-get update -qq
  exit 0
fi

echo "setup: installing ${missing[*]}" >&2
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
