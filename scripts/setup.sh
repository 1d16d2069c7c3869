#!/usr/bin/env bash
# Installs what building and testing Vantrel needs on Debian 12 (as root), and
# nothing when everything is there already.
set -euo pipefail

PACKAGES=(
  cmake ninja-build g++ libgtest-dev googletest
  g++-mingw-w64-x86-64 g++-mingw-w64-i686 binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  wine64 xvfb x11-apps imagemagick fonts-ipafont-gothic locales
  lame sox mpg123 python3 python3-xlib zip
  clang libclang-rt-14-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q "${missing[@]}"
fi

# The Japanese locale on the Linux side, so that Wine passes Japanese file
# names through as Shift_JIS.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  echo "setup: generating the ja_JP.UTF-8 locale"
  localedef -i ja_JP -f UTF-8 ja_JP.UTF-8
fi
