#!/usr/bin/env bash
# Installs every Debian package Telvara needs (skipping those already present)
# and configures the build tree. Safe to run again; run it as root.
set -euo pipefail

cd "$(dirname "$0")/.."

packages=(
  # build
  g++ cmake ninja-build pkg-config
  # window, input and presenting the 565 back buffer
  libsdl2-dev
  # fonts and text
  libfreetype-dev libfontconfig-dev fonts-dejavu-core
  # contacts and call log
  libsqlite3-dev
  # contact photos: JPEG (PNG comes with libpng-dev below)
  libjpeg62-turbo-dev
  # frame recorder archives
  zlib1g-dev libminizip-dev
  # skin compiler: XML sources, SVG and PNG art
  libpugixml-dev librsvg2-bin libpng-dev
  # tests and benchmarks
  libgtest-dev libgmock-dev libbenchmark-dev
  # fuzzing and sanitizers
  clang libclang-rt-14-dev
  # handing messages, mail and web addresses to the desktop
  xdg-utils
  # manual pages made from each program's --help
  help2man
  # tests in a real window: an X server of their own, input, screenshots
  xvfb xdotool x11-apps
  # checks of the desktop entry and the AppStream metainfo
  desktop-file-utils appstream
  # an independent vCard reader that checks the contacts export
  python3-vobject
  # the Debian package: dependencies from the linked libraries, and its check
  dpkg-dev file lintian
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if ((${#missing[@]})); then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  "${sudo_cmd[@]}" apt-get update
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y --no-install-recommends "${missing[@]}"
else
  echo "setup: all ${#packages[@]} packages already installed"
fi

build_dir=${TELVARA_BUILD_DIR:-build}
echo "setup: configuring $build_dir (Release with debug info, Ninja)"
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@"
