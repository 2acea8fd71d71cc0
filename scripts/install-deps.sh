#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs, by set:
#   build   compilers and the libraries the programs are built with
#   run     what `make run` uses besides: the private X server of the demo,
#           its screenshot and its questions to the companion host
#   test    what only the tests, fuzzing, formatting and the packages need
#           (GoogleTest, benchmarks, clang, browsers, Lua, lintian, ...)
#   scripts/install-deps.sh [SET ...]    (no set: all of them)
# Idempotent: packages already present are left alone, and apt is not touched
# at all when nothing is missing.
set -euo pipefail

build=(
  build-essential cmake ninja-build pkg-config
  # SDK
  libglib2.0-dev
  # desktop application (ICU: user-perceived characters, digits, lower case)
  libicu-dev qt6-base-dev qt6-base-dev-tools qt6-tools-dev qt6-tools-dev-tools libcanberra-dev libasound2-dev libxcb1-dev
  # companion host (and the application's QR code of the display's address)
  libcpp-httplib-dev libssl-dev zlib1g-dev libpng-dev nlohmann-json3-dev libsystemd-dev libqrencode-dev
  libavahi-client-dev
)
run=(
  xvfb xauth x11-utils imagemagick curl
)
test=(
  # tests, benchmarks, fuzzing and formatting
  googletest libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev clang-format
  # GUI, browser and add-on tests; reading the QR codes the host and the application show
  chromium lua5.1 lua-busted zbar-tools
  # the window-capture tests run again under a headless Wayland compositor with XWayland
  weston xwayland
  # the packages and their test: dependencies, checks, metadata, socket activation
  dpkg-dev file lintian appstream systemd
)

sets=("$@")
((${#sets[@]})) || sets=(build run test)
packages=()
for set in "${sets[@]}"; do
  case $set in
    build) packages+=("${build[@]}") ;;
    run) packages+=("${run[@]}") ;;
    test) packages+=("${test[@]}") ;;
    *) echo "install-deps: unknown set '$set' (build, run, test)" >&2; exit 2 ;;
  esac
done

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
