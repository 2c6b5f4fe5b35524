#!/usr/bin/env bash
# Installs the Debian packages the build, the program and the tests need.
# Safe to run again: only missing packages are installed. With --fuzz, also what the fuzz
# targets need (clang and its libFuzzer).
set -euo pipefail

packages=(
  build-essential cmake pkg-config
  qt6-base-dev qt6-charts-dev qt6-svg-dev libqt6opengl6-dev libxkbcommon-dev
  qt6-tools-dev qt6-tools-dev-tools qt6-l10n-tools qt6-translations-l10n
  libqt6sql6-sqlite libsqlite3-dev libqt6sql6-odbc unixodbc unixodbc-dev libsqliteodbc
  postgresql odbc-postgresql
  libxlsxwriter-dev libzip-dev zipcmp zipmerge ziptool
  libbenchmark-dev
  libgdal-dev libproj-dev gdal-bin proj-bin python3-gdal
  dpkg-dev fakeroot file lintian appstream desktop-file-utils
  xvfb xauth fonts-dejavu-core
  fonts-liberation
  python3
  python3-docx python3-openpyxl libreoffice-writer-nogui poppler-utils
  libreoffice-calc-nogui imagemagick
)

# make fuzz: libFuzzer comes with clang's runtime libraries.
if [ "${1:-}" = "--fuzz" ]; then
  packages+=(clang libclang-rt-14-dev)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  if ! command -v sudo >/dev/null 2>&1; then
    {
      echo "Не хватает пакетов Debian, а установить их может только администратор: команды sudo"
      echo "здесь нет. Попросите администратора выполнить от имени root:"
      echo
      echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
      echo
      echo "и запустите make снова."
    } >&2
    exit 1
  fi
  sudo="sudo"
fi
echo "Устанавливаются пакеты: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
