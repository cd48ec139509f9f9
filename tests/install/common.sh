# Shared by the installation tests: a scratch folder removed on exit, and a
# fresh SoftHSM2 token in it (as testing/fixtures/softhsmtoken.h makes one),
# never a user's tokens.
set -euo pipefail

scratch=$(mktemp -d)
cleanups=()
cleanup() {
    local step
    for step in "${cleanups[@]}"; do eval "$step" || true; done
    rm -rf "$scratch"
}
trap cleanup EXIT

so_pin=87654321
user_pin=1234

# fresh_token LABEL: a SoftHSM2 home in the scratch folder holding one token
# LABEL; SOFTHSM2_CONF points at it from now on.
fresh_token() {
    mkdir -p "$scratch/softhsm/tokens"
    printf 'directories.tokendir = %s\nobjectstore.backend = file\nlog.level = ERROR\n' \
        "$scratch/softhsm/tokens" >"$scratch/softhsm/softhsm2.conf"
    export SOFTHSM2_CONF=$scratch/softhsm/softhsm2.conf
    softhsm2-util --init-token --free --label "$1" --so-pin "$so_pin" --pin "$user_pin" >/dev/null
}

# write_certificate LIBRARY TOKEN KEY LABEL: a self-signed certificate of
# KEY, made by openssl, written to the token; prints the DER file's path.
write_certificate() {
    local der=$scratch/$4.der
    openssl req -x509 -new -key "$3" -subj "/CN=$4" -days 1 -outform DER -out "$der"
    pkcs11-tool --module "$1" --token-label "$2" --login --pin "$user_pin" \
        --write-object "$der" --type cert --label "$4" --id 01 >/dev/null 2>&1
    echo "$der"
}

fail() {
    echo "FAILED: $*" >&2
    exit 1
}
