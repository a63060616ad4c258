#!/usr/bin/env bash
# Installs the missing Debian packages, builds everything and runs every test: the normal
# build, then the core libraries under AddressSanitizer + UBSan (with the fuzz targets, run
# for a short while) and under ThreadSanitizer. Exits non-zero on any failure.
#   ./test.sh            everything
#   ./test.sh default    only the normal build and its tests (also: asan, tsan)
set -euo pipefail
cd "$(dirname "$0")"

source scripts/install-missing.sh

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
