#!/usr/bin/env bash
# The installed tree as a host sees it: `cmake --install` into a scratch
# prefix, the example host built against it once through the CMake package
# and once through pkg-config, each listing the certificate of a fresh
# SoftHSM2 token.
# Arguments: BUILD_FOLDER EXAMPLES_FOLDER SOFTHSM2_LIBRARY KEY_PEM
source "$(dirname "$0")/common.sh"
build=$1 examples=$2 softhsm=$3 key=$4
prefix=$scratch/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
cmake -S "$examples" -B "$scratch/example" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$scratch/example" >/dev/null

pc_path=$(dirname "$(find "$prefix" -name mervil2.pc)")
export PKG_CONFIG_PATH=$pc_path
module=$(pkg-config --variable=module mervil2)
# shellcheck disable=SC2046
g++ -std=c++20 $(pkg-config --cflags mervil2) -DMERVIL7_MODULE="\"$module\"" "$examples/listcerts.cpp" \
    $(pkg-config --libs mervil2) -o "$scratch/listcerts-pc"

fresh_token example
der=$(write_certificate "$softhsm" example "$key" "example certificate")
expected="example certificate $(stat -c %s "$der") bytes"

listing=$("$scratch/example/listcerts" "$softhsm")
[[ $listing == *" $expected" ]] || fail "the CMake-built host listed \"$listing\", not \"$expected\""
listing=$(LD_LIBRARY_PATH=$(pkg-config --variable=libdir mervil2) "$scratch/listcerts-pc" "$softhsm")
[[ $listing == *" $expected" ]] || fail "the pkg-config-built host listed \"$listing\", not \"$expected\""
