#!/usr/bin/env bash
# Installs the Debian packages KesV needs to build, run and test, and only those
# that are missing. Running it a second time does nothing. Extra packages may be named as
# arguments.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config clang-format git
  qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev
  qt6-l10n-tools qt6-tools-dev # lupdate and lrelease, and their CMake functions
  libxcb1-dev libxcb-xkb-dev # the display check; the lock keys' lights
  librtmidi-dev
  libfluidsynth-dev timgm6mb-soundfont
  python3-mido fluidsynth python3-numpy # the music-exchange tests read our files independently
  libexpat1-dev # the MusicXML reader: linear in any document, its memory bounded
  zlib1g-dev musescore3 # compressed MusicXML; a notation program reads our scores (label notation)
  abcmidi abcm2ps # the standard ABC tools play and typeset our ABC exports
  jackd2 libjack-jackd2-dev
  pipewire wireplumber pipewire-jack dbus-daemon # a private PipeWire session for the MIDI tests
  fonts-ipafont-gothic
  xvfb xauth xdotool
  at-spi2-core python3-pyatspi gir1.2-atspi-2.0 # the screen-reader test: AT-SPI bus, pyatspi
  poppler-utils # pdftoppm: the view tests look at printed pages
  libgtest-dev libgmock-dev libbenchmark-dev
  desktop-file-utils appstream xdg-utils libfile-mimeinfo-perl shared-mime-info dpkg-dev
  lintian devscripts man-db # the package's checks: lintian, hardening-check, man --warnings
  "$@" # extra packages a developer command needs (the fuzzers need clang)
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
echo "Installing: ${missing[*]}"
# jackd2 asks whether to enable realtime scheduling; answer without a prompt.
echo "jackd2 jackd/tweak_rt_limits boolean false" | $sudo debconf-set-selections
$sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
$sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
