# Debian packages the project needs, and how to get the missing ones.
# Sourced by scripts/run, scripts/test and .ci/run.

# Build, tests, keydb and its default token; pkg-config, dpkg-dev and
# p11-kit for the tests of the installed tree, the Debian package and remote
# tokens; GnuTLS's p11tool and openssl's pkcs11 engine for the tests that use
# keydb's keys from other PKCS#11 software.
MERVIL_PACKAGES=(cmake g++ make googletest libgtest-dev libbenchmark-dev softhsm2 opensc openssl
                 libcli11-dev nlohmann-json3-dev pkg-config dpkg-dev p11-kit p11-kit-modules gnutls-bin
                 libengine-pkcs11-openssl)
# The libFuzzer targets: clang and its fuzzer and sanitizer runtimes.
MERVIL_FUZZ_PACKAGES=(clang libclang-rt-14-dev)
# The Windows cross builds and their tests: 32-bit programs under 32-bit wine
# (a package of the i386 architecture), 64-bit ones under wine64.
MERVIL_CROSS_PACKAGES=(g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix wine32:i386 wine64)

# Installs the given packages that are not installed yet: as root with
# apt-get, otherwise prints the commands to run and fails. A package of a
# foreign architecture (wine32:i386) needs that architecture added to dpkg
# first, which is done or named the same way.
mervil_require_packages() {
    local missing=() architectures=() package architecture
    for package in "$@"; do
        if [ "$(dpkg-query -W -f='${Status}' "$package" 2>/dev/null)" != "install ok installed" ]; then
            missing+=("$package")
            architecture=${package#*:}
            if [ "$architecture" != "$package" ] && [ "$architecture" != "$(dpkg --print-architecture)" ] &&
                ! dpkg --print-foreign-architectures | grep -qx "$architecture"; then
                architectures+=("$architecture")
            fi
        fi
    done
    [ ${#missing[@]} -eq 0 ] && return 0

    if [ "$(id -u)" -ne 0 ]; then
        echo "Missing packages: ${missing[*]}" >&2
        echo "Install them with:" >&2
        for architecture in "${architectures[@]}"; do
            echo "  sudo dpkg --add-architecture $architecture" >&2
        done
        echo "  sudo apt-get update && sudo apt-get install -y ${missing[*]}" >&2
        return 1
    fi
    for architecture in "${architectures[@]}"; do
        echo "Adding the package architecture $architecture"
        dpkg --add-architecture "$architecture"
    done
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
