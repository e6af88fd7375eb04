#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the game need, when missing.
set -euo pipefail

packages=(
  cmake ninja-build g++ make pkg-config
  libsdl2-dev libx11-dev zlib1g-dev libpng-dev libjpeg62-turbo-dev
  libgtest-dev libgmock-dev libbenchmark-dev libsdl2-ttf-dev
  xvfb xauth x11-utils x11-apps imagemagick libxtst6
  libfreetype-dev libfontconfig-dev fonts-ipafont-gothic
  libogg-dev libvorbis-dev libtheora-dev libmpg123-dev
  libavformat-dev libavcodec-dev libswscale-dev libavutil-dev
  sox libsox-fmt-all lame vorbis-tools ffmpeg mpg123
  ccache
  python3
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
# A fresh machine's package lists may be empty.
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
