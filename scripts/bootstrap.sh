#!/usr/bin/env bash
# Installs every Debian package the project needs to build, test and run.
# Run as root on Debian 12; does nothing when everything is already present.
set -euo pipefail

packages=(
  g++ cmake ninja-build clang libclang-rt-14-dev
  libgtest-dev libgmock-dev
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth bison unrtf
  fonts-dejavu-core fonts-wqy-microhei
  libxml2-utils translate-toolkit php-symfony-translation
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "bootstrap: these packages are missing: ${missing[*]}" >&2
  echo "bootstrap: run this script as root (apt-get needs it)" >&2
  exit 1
fi

echo "bootstrap: installing ${missing[*]}"
apt-get update -qq
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
