#!/usr/bin/env bash
# Installs the missing Debian packages, builds everything and runs every test: the normal
# build, then the core libraries under AddressSanitizer + UBSan (with the fuzz targets, run
# for a short while) and under ThreadSanitizer. Exits non-zero on any failure.
#   ./test.sh            everything
#   ./test.sh default    only the normal build and its tests (also: asan, tsan)
set -euo pipefail
cd "$(dirname "$0")"

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev ccache pkg-config
    qt6-base-dev libssl-dev zlib1g-dev libfmt-dev googletest libgtest-dev libgmock-dev
    libbenchmark-dev libquickfix-dev fonts-wqy-microhei python3 python3-dbfread shapelib
    tinyproxy dante-server socat openssl xvfb xauth
)

install_missing() {
    local missing=()
    for p in "${PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages (run as root to install them): ${missing[*]}" >&2
        exit 1
    fi
    echo "Installing: ${missing[*]}"
    apt-get update
    DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

jobs=$(nproc)
run_preset() {
    local preset=$1
    echo "=== $preset ==="
    cmake --preset "$preset"
    cmake --build --preset "$preset" -j "$jobs"
    if [ "$preset" = tsan ]; then
        # ThreadSanitizer cannot map its shadow memory under the kernel's high mmap
        # randomisation; run the tests with randomisation off.
        setarch "$(uname -m)" -R ctest --preset "$preset" -j "$jobs"
    else
        ctest --preset "$preset" -j "$jobs"
    fi
}

install_missing
export QT_QPA_PLATFORM=offscreen
presets=("$@")
[ ${#presets[@]} -eq 0 ] && presets=(default asan tsan)
for preset in "${presets[@]}"; do
    run_preset "$preset"
done
echo "All test runs passed: ${presets[*]}"
