#!/usr/bin/env bash
# Installs, from Debian's packages, whatever the build and the tests need and
# the machine does not have yet. Quiet when everything is there.
set -euo pipefail
cd "$(dirname "$0")/.."

packages=(
  cmake ninja-build make g++ clang libclang-rt-14-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libcli11-dev nlohmann-json3-dev
  g++-mingw-w64-i686 g++-multilib
  g++-mingw-w64-x86-64 wine64
  qemu-system-x86 ipxe-qemu seabios binutils
  qemu-user
  pci.ids
  i2c-tools
  libxml2-utils chromium
  xvfb x11-apps
  python3 unzip
  clang-format
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

if [ ${#missing[@]} -ne 0 ]; then
  echo "setup: installing ${missing[*]}"
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The 32-bit Wine, which runs the i386 images (dimmio.sys, dimmio.exe,
# dimmio-gui.exe) on its own i386 kernel: Debian's wine32, from the i386
# architecture, beside wine64. Only where this machine runs i386 programs.
# Where it cannot be had, one line says why; the reason is kept in
# build/wine32-missing, where the Wine test reads it for its skip, and a
# later run does not try again until that file is removed. Nothing else
# depends on it, so nothing else fails.
note=build/wine32-missing
log=build/wine32-setup.log
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }
no_wine32() {
  echo "$1" >"$note"
  echo "setup: no 32-bit Wine, its tests are skipped: $1"
}
mkdir -p build
if installed wine32:i386; then
  rm -f "$note"
elif [ -f "$note" ]; then
  echo "setup: no 32-bit Wine, its tests are skipped: $(cat "$note") (remove $note to try again)"
else
  probe=$(mktemp -d)
  if ! printf 'int main(void) { return 0; }\n' | gcc -m32 -x c - -o "$probe/i386" 2>/dev/null ||
     ! "$probe/i386" 2>/dev/null; then
    no_wine32 "this machine does not run i386 programs"
  else
    echo "setup: installing wine32 (i386) beside wine64 (log in $log)"
    added=""
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
      $sudo dpkg --add-architecture i386 && added=yes
    fi
    if ! { $sudo apt-get update -qq && $sudo apt-get install -y -qq --no-install-recommends wine32:i386; } \
           >"$log" 2>&1; then
      # Left as found: an architecture with nothing installed from it would
      # only slow every later update down.
      if [ -n "$added" ] && [ -z "$(dpkg-query -W -f='${Package}:${Architecture}\n' 2>/dev/null | grep ':i386$')" ]; then
        $sudo dpkg --remove-architecture i386 || true
      fi
      no_wine32 "installing Debian's wine32 failed: $(grep -m1 -E '^(E|W): ' "$log" || tail -n1 "$log")"
    fi
  fi
  rm -rf "$probe"
fi
