#!/usr/bin/env bash
# Installs the Debian packages the build, the tests (man-db and groff-base
# render the manual pages), the demo and the workflow (snakemake and
# python3-matplotlib) need, when any of them is missing.  Pass extra package
# names to require more.
set -euo pipefail
packages=(cmake make g++ pkg-config libgd-dev libpng-dev libgtest-dev libbenchmark-dev strace man-db groff-base
          snakemake python3-matplotlib "$@")
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "Installing: ${missing[*]}"
run_as_root=()
[ "$(id -u)" -eq 0 ] || run_as_root=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${run_as_root[@]}" apt-get update -qq
"${run_as_root[@]}" apt-get install -y -qq "${missing[@]}" >/dev/null
