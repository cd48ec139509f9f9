#!/usr/bin/env bash
# The Debian package: made by cpack, its control data, and keydb run from
# the package unpacked into a scratch root, finding its module and the
# toolkit there, with its default token in a scratch home.
# Arguments: BUILD_FOLDER
source "$(dirname "$0")/common.sh"
build=$1

(cd "$scratch" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/package" >/dev/null)
deb=$(echo "$scratch"/package/mervil_*.deb)
[[ -f $deb ]] || fail "cpack made no mervil_*.deb"
[[ $(dpkg-deb -f "$deb" Package) == mervil ]] || fail "package name"
[[ $(dpkg-deb -f "$deb" Depends) == *softhsm2* ]] || fail "no dependency on softhsm2"
[[ $(dpkg-deb -f "$deb" Depends) == *libstdc++6* ]] || fail "no dependency on the C++ runtime"

root=$scratch/root
dpkg -x "$deb" "$root"
keydb=$root/usr/bin/keydb
[[ $("$keydb" --version) == "keydb 0.1.0" ]] || fail "keydb --version"
for file in usr/include/mervil/zeppkcs11manager.h usr/include/mervil/pkcs11diagnostics.h usr/share/man/man1/keydb.1; do
    [[ -f $root/$file ]] || fail "$file not in the package"
done

mkdir -p "$scratch/home"
info=$(cd / && env -u KEYDB_MODULE -u SOFTHSM2_CONF -u LD_LIBRARY_PATH HOME="$scratch/home" \
    XDG_DATA_HOME="$scratch/home/data" "$keydb" info --json 2>"$scratch/stderr") ||
    fail "keydb info: $(grep '^keydb:' "$scratch/stderr")"
[[ $info == *'"manufacturer": "SoftHSM"'* ]] || fail "keydb info printed: $info"
