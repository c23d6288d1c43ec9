#!/usr/bin/env bash
# Installs what is missing on Debian 12, builds Vellumark, then starts it (./setup.sh run) or runs the
# whole test suite (./setup.sh test). Safe to run again: it only installs and rebuilds what is missing.
set -euo pipefail

mode=${1:-run}
case "$mode" in
    run | test) ;;
    *)
        echo "usage: $0 run|test" >&2
        exit 2
        ;;
esac
cd "$(dirname "$0")"

# What building and running needs; the tests also need real file systems to write dates on.
packages=(cmake g++ make pkg-config libicu-dev libsqlite3-dev libgtest-dev libgmock-dev
    qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-qpa-plugins libgl-dev fonts-dejavu-core)
if [ "$mode" = test ]; then
    packages+=(ntfs-3g fuse3 e2fsprogs xfsprogs btrfs-progs exfat-fuse exfatprogs attr dpkg-dev file
        clang-format clang-tidy)
fi

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    if [ "$(id -u)" -eq 0 ]; then
        as_root=()
    elif command -v sudo >/dev/null 2>&1; then
        as_root=(sudo)
    else
        echo "Installing packages needs root or sudo, and neither is available." >&2
        echo "As root, run: apt-get install -y ${missing[*]}" >&2
        exit 1
    fi
    export DEBIAN_FRONTEND=noninteractive
    "${as_root[@]}" apt-get update -q
    "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

preset=testing
if [ ! -f "build/$preset/CMakeCache.txt" ]; then
    cmake --preset "$preset"
fi
cmake --build --preset "$preset" --parallel "$(nproc)"

if [ "$mode" = test ]; then
    exec ctest --preset "$preset" --parallel "$(nproc)"
fi

app="build/$preset/src/app/vellumark"
if [ ! -x "$app" ]; then
    echo "Everything is built; the window is not there yet, so there is nothing to start."
    exit 0
fi
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
    echo "No display found (neither DISPLAY nor WAYLAND_DISPLAY is set): start $app from a desktop session." >&2
    exit 1
fi
exec "$app"
