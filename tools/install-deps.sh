#!/usr/bin/env bash
# Installs everything tolvana needs to build, test and benchmark on Debian 12.
set -euo pipefail
SUDO=""
if [ "$(id -u)" -ne 0 ]; then
  SUDO="sudo"
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends \
  g++ cmake ninja-build pkg-config \
  qt6-base-dev qt6-multimedia-dev \
  libsndfile1-dev libsoxr-dev libcurl4-openssl-dev \
  libgtest-dev libgmock-dev libbenchmark-dev \
  clang libclang-rt-14-dev \
  xvfb xauth fonts-dejavu-core pulseaudio pulseaudio-utils \
  python3-pyftpdlib python3-openssl x11-apps imagemagick multimon-ng \
  libmosquitto-dev mosquitto mosquitto-clients lintian dpkg-dev openssl >/dev/null
