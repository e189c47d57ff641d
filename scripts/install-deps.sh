#!/usr/bin/env bash
# Installs every Debian 12 package that building, testing and running Torvanelquist needs.
# Safe to run again: apt-get skips what is already installed.
set -euo pipefail

packages=(
    build-essential cmake pkg-config
    qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libqt6sql6-sqlite libgl-dev
    libsqlite3-dev sqlite3 libzip-dev libgif-dev
    mdbtools-dev libmdb3 mdbtools
    libx11-dev
    fonts-liberation2 fonts-wine fonts-dejavu-core
    xvfb xauth x11-utils
    openbox xdotool dbus-daemon at-spi2-core python3-pyatspi
    clang libclang-rt-14-dev llvm clang-format
    qt6-svg-dev scdoc dpkg-dev file lintian desktop-file-utils appstream
)

if [ "$(id -u)" -eq 0 ]; then
    sudo=()
else
    sudo=(sudo)
fi

export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update
"${sudo[@]}" apt-get install -y --no-install-recommends "${packages[@]}"
