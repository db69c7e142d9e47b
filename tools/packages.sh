# Sourced by the tools scripts: installs the Debian packages named that are
# not installed yet, quietly; does nothing when all are there.
# Usage: install_missing WHO PACKAGE...
install_missing() {
  local who=$1 p
  shift
  local missing=()
  for p in "$@"; do
    dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
  done
  [ ${#missing[@]} -gt 0 ] || return 0
  echo "$who: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq >/dev/null
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}
