#!/usr/bin/env bash
# Installs every system package ZAPH needs to build, run and test.
# Idempotent and quick when everything is already present.
set -euo pipefail

# libqt6webenginecore6-bin holds QtWebEngineProcess, which a page needs to run
# (only recommended by the -dev package, and recommends are not installed).
# qt6-tools-dev gives Qt UiTools, which reads the Designer-form panels of
# compositions ("<name>.ui").
# libplist-dev is only the baseline of the property-list benchmark (bench/plist).
# libqt6svg6 holds Qt's SVG image reader, for the SVG images of resources/images
# (without it the program draws the same figures itself).
PACKAGES=(
  build-essential cmake ninja-build pkg-config ccache git
  qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6opengl6-dev libgl-dev libegl-dev
  libavformat-dev libavcodec-dev libavutil-dev libswscale-dev libswresample-dev libavdevice-dev
  libplist-dev liblo-dev librtmidi-dev libasound2-dev portaudio19-dev libjack-jackd2-dev jackd2
  libcurl4-openssl-dev libssl-dev zlib1g-dev
  qt6-webengine-dev libqt6webenginecore6-bin libqt6svg6
  qt6-tools-dev
  xvfb xauth libgl1-mesa-dri libglx-mesa0 mesa-utils fonts-dejavu-core
  libgtest-dev libgmock-dev googletest libbenchmark-dev
)

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

SUDO=""
if [ "$(id -u)" -ne 0 ]; then SUDO="sudo"; fi

echo "install-deps: installing ${missing[*]}"
# jackd2 asks whether to enable real-time priority; answer no.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $SUDO debconf-set-selections
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
