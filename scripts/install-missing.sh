# The Debian packages the build, the tests and the demo need, and the function that installs
# the missing ones (as root, with apt-get). Sourced by test.sh and demo.sh.

PACKAGES=(
    cmake ninja-build g++ clang libclang-rt-14-dev ccache pkg-config
    qt6-base-dev libssl-dev zlib1g-dev libfmt-dev googletest libgtest-dev libgmock-dev
    libbenchmark-dev libquickfix-dev libquantlib0-dev quantlib-python fonts-wqy-microhei python3
    python3-dbfread shapelib
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
