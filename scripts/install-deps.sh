#!/usr/bin/env bash
# Installs the Debian 12 packages the build, the tests and the demo need.
# Does nothing when they are all present already.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev pkg-config
  libgtest-dev libgmock-dev googletest libbenchmark-dev
  libwxgtk3.2-dev libwxgtk-webview3.2-dev libsqlite3-dev
  libcli11-dev nlohmann-json3-dev libcairo2-dev libpango1.0-dev libx11-dev
  xvfb xauth xdg-utils iproute2 util-linux procps poppler-utils nftables
  fonts-liberation fonts-wqy-microhei
  dpkg-dev file lintian appstream desktop-file-utils man-db
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
