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

# The server answers on its socket a moment before its provider's slots are
# ready; until then a client sees none.
for _ in $(seq 50); do
    slots=$("$keydb" slots --library "$client" --json)
    [[ $slots == *'"label": "remote"'* ]] && break
    sleep 0.2
done
[[ $slots == *'"label": "remote"'* ]] || fail "keydb slots printed: $slots"
listing=$("$keydb" list --library "$client" --token remote --pin "$user_pin" --certs --json)
[[ $listing == *'"label": "served certificate"'* ]] || fail "keydb list printed: $listing"

# A key written next to the certificate signs through the client module, as
# openssl verifies; a key pair generated there and a key with its certificate
# imported there are written to the token.
pkcs11-tool --module "$softhsm" --token-label remote --login --pin "$user_pin" \
    --write-object "$key" --type privkey --label "served key" --id 02 >/dev/null 2>&1
printf 'signed remotely' >"$scratch/data"
"$keydb" sign --library "$client" --token remote --pin "$user_pin" --label "served key" \
    --in "$scratch/data" --out "$scratch/signature"
openssl dgst -sha1 -verify <(openssl pkey -in "$key" -pubout) -signature "$scratch/signature" "$scratch/data" \
    >/dev/null || fail "the signature made through p11-kit does not verify"
"$keydb" genkey --library "$client" --token remote --pin "$user_pin" --bits 1024 --weak --label "made remotely" \
    >/dev/null
objects=$(pkcs11-tool --module "$softhsm" --token-label remote --login --pin "$user_pin" --list-objects 2>/dev/null)
[[ $(grep -c 'label:[[:space:]]*made remotely' <<<"$objects") == 2 ]] || fail "the generated pair is not on the token: $objects"
openssl req -x509 -new -key "$key" -subj "/CN=imported remotely" -days 1 -out "$scratch/imported.pem"
"$keydb" import --library "$client" --token remote --pin "$user_pin" --cert "$scratch/imported.pem" --key "$key" \
    >/dev/null
pairs=$("$keydb" list --library "$softhsm" --token remote --pin "$user_pin" --pairs --json)
[[ $pairs == *'"label": "imported remotely"'* ]] || fail "the imported pair is not on the token: $pairs"
