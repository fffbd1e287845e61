#!/usr/bin/env bash
# The Debian packages the project needs, in one place.  Sourced by
# scripts/play and scripts/test; installs only what is missing.
GK_PACKAGES=(
  build-essential cmake pkg-config ninja-build
  libsdl2-dev libopenal-dev libglu1-mesa-dev libgl1-mesa-dev libgl1-mesa-dri
  zlib1g-dev libdeflate-dev libfreetype-dev fonts-dejavu-core fonts-dejavu-extra
  qt6-base-dev qt6-multimedia-dev
  libmicrohttpd-dev libqt6sql6-sqlite libqt6sql6-psql postgresql
  gstreamer1.0-plugins-base gstreamer1.0-plugins-good gstreamer1.0-plugins-bad gstreamer1.0-libav
  libgtest-dev libbenchmark-dev
  libx11-dev libxcb1-dev xvfb xauth xdotool ffmpeg locales python3 mount
  clang-14 libclang-rt-14-dev llvm-14 gcovr
  qt6-svg-dev lintian appstream desktop-file-utils man-db dpkg-dev file
  chromium
)

gk_install_deps() {
  local missing=()
  local p
  for p in "${GK_PACKAGES[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$p")
    fi
  done
  if [ ${#missing[@]} -eq 0 ]; then
    return 0
  fi
  echo "Installing missing packages: ${missing[*]}"
  local sudo=""
  if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
  $sudo apt-get update -qq || return 1
  $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" || return 1
}

# Configure and build into $GK_BUILD (default build/).
gk_build() {
  local root
  root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
  GK_BUILD="${GK_BUILD:-$root/build}"
  # configuring again is cheap and picks up folders added since the last time
  cmake -S "$root" -B "$GK_BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null || return 1
  cmake --build "$GK_BUILD" -j "$(nproc)" || return 1
}
