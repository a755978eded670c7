#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, only when missing.
set -euo pipefail
packages=(cmake g++ make pkg-config ninja-build lld libplist-dev libplist-utils libicu-dev
          libcurl4-openssl-dev libgtest-dev libgmock-dev libbenchmark-dev nlohmann-json3-dev
          python3 dpkg-dev clang libclang-rt-14-dev valgrind libcairo2-dev fonts-dejavu-core libsqlite3-dev
          libcpp-httplib-dev chromium chromium-driver python3-selenium clang-format-14)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "bootstrap: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -qq || true
"${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
