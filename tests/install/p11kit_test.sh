#!/usr/bin/env bash
# A SoftHSM2 token served by `p11-kit server` on a socket in a scratch
# folder, seen by keydb through p11-kit's client module.
# Arguments: KEYDB SOFTHSM2_LIBRARY P11KIT_CLIENT KEY_PEM
source "$(dirname "$0")/common.sh"
keydb=$1 softhsm=$2 client=$3 key=$4

fresh_token remote
der=$(write_certificate "$softhsm" remote "$key" "served certificate")

eval "$(p11-kit server --sh --provider "$softhsm" --name "$scratch/p11-kit.socket" "pkcs11:token=remote")"
cleanups+=("kill $P11_KIT_SERVER_PID")
export P11_KIT_SERVER_ADDRESS

slots=$("$keydb" slots --library "$client" --json)
[[ $slots == *'"label": "remote"'* ]] || fail "keydb slots printed: $slots"
listing=$("$keydb" list --library "$client" --token remote --pin "$user_pin" --certs --json)
[[ $listing == *'"label": "served certificate"'* ]] || fail "keydb list printed: $listing"
