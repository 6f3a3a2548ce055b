# Sourced by our scripts: `needs COMMAND...` returns 0 when every command is
# on PATH; otherwise it says in one line on stderr which are missing and
# which Debian package brings each (the table in scripts/packages), and
# returns 1.
needs() {
  local table c package list=""
  table="$(dirname "${BASH_SOURCE[0]}")/packages"
  for c in "$@"; do
    command -v "$c" >/dev/null 2>&1 && continue
    package=$(awk -v c="${c##*/}" '!/^#/ { for (i = 3; i <= NF; i++) if ($i == c) { sub(/:if-missing$/, "", $2); print $2; exit } }' "$table")
    list+="${list:+, }$c (${package:+from the Debian package $package}${package:-in no row of scripts/packages})"
  done
  [ -z "$list" ] && return 0
  echo "$(basename "$0"): missing $list; bash scripts/setup.sh installs it" >&2
  return 1
}
