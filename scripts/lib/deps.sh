# Debian packages the project needs, and how to get the missing ones.
# Sourced by scripts/run, scripts/test and .ci/run.

# Build, tests, keydb and its default token; pkg-config, dpkg-dev and
# p11-kit for the tests of the installed tree, the Debian package and remote
# tokens.
MERVIL_PACKAGES=(cmake g++ make googletest libgtest-dev libbenchmark-dev softhsm2 opensc openssl
                 libcli11-dev nlohmann-json3-dev pkg-config dpkg-dev p11-kit p11-kit-modules)
# The libFuzzer targets: clang and its fuzzer and sanitizer runtimes.
MERVIL_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# The 32-bit Windows cross build of the two libraries.
MERVIL_CROSS_PACKAGES=(g++-mingw-w64-i686-posix)

# Installs the given packages that are not installed yet: as root with
# apt-get, otherwise prints the command to run and fails.
mervil_require_packages() {
    local missing=() package
    for package in "$@"; do
        if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
            missing+=("$package")
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Install them with:" >&2
        echo "  sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    echo "Installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update
    apt-get install -y "${missing[@]}" </dev/null
}

# Configures and builds the project in build folder $1; the remaining
# arguments go to cmake's configure step.
mervil_build() {
    local folder=$1
    shift
    cmake -S . -B "$folder" "$@"
    cmake --build "$folder" -j "$(nproc)"
}
