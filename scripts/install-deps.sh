#!/usr/bin/env bash
# Installs the Debian 12 packages the project builds, tests and runs with.
# Idempotent: packages already present are left alone, and apt is not touched
# at all when nothing is missing.
set -euo pipefail

packages=(
  # toolchain
  build-essential cmake ninja-build pkg-config clang libclang-rt-14-dev clang-format
  # tests and benchmarks
  googletest libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
  # SDK
  libglib2.0-dev
  # desktop application
  qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libcanberra-dev libxcb1-dev
  # companion host
  libcpp-httplib-dev libssl-dev zlib1g-dev libpng-dev
  # GUI, browser and add-on tests, screenshots
  xvfb xauth x11-utils chromium imagemagick lua5.1 lua-busted
  # the window-capture tests run again under a headless Wayland compositor with XWayland
  weston xwayland
  # the demo script asks the companion host what it shows
  curl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -qq
$sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
