#!/usr/bin/env bash
# Installs the Debian 12 packages the project needs to build, test and run.
# apt-get runs only when something is missing, so a second call is quick.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config git curl python3
  libicu-dev libcurl4-openssl-dev
  libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  qt6-base-dev qt6-webengine-dev libgl-dev
  fonts-noto-cjk xvfb xauth x11-utils
  clang libclang-rt-14-dev
  desktop-file-utils dpkg-dev file xdg-utils
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  exit 0
fi

echo "Installing: ${missing[*]}"
sudo=()
if [[ $(id -u) -ne 0 ]]; then sudo=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
