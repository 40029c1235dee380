#!/bin/sh
# Regenerates the seed books of corpus/package with leafturn-pack: make_corpus.sh PACK-TOOL
set -eu
pack=$1
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
printf 'MZ' >"$work/viewer.exe"
mkdir -p "$work/book/files"
printf 'FWS\006' >"$work/book/book.swf"
printf '<?xml version="1.0"?><ExeConfig/>' >"$work/book/ExeConfig.xml"
printf '<book/>' >"$work/book/files/book.xml"
"$pack" build --viewer "$work/viewer.exe" --out "$here/corpus/package/plain" "$work/book" >/dev/null
"$pack" build --viewer "$work/viewer.exe" --out "$here/corpus/package/digest" --digest "$work/book" >/dev/null
mkdir -p "$work/one"
printf '' >"$work/one/empty"
"$pack" build --viewer "$work/viewer.exe" --out "$here/corpus/package/empty-entry" --digest "$work/one" >/dev/null

# Signed books: the least PE image that osslsigncode signs (PeImage() of tests/support), packed
# and signed; then its certificate table named beyond the file and over the package.
patch() { printf "$3" | dd of="$1" bs=1 seek="$2" conv=notrunc status=none; }
head -c 512 /dev/zero >"$work/pe.exe"
patch "$work/pe.exe" 0 'MZ'
patch "$work/pe.exe" 60 '\100'
patch "$work/pe.exe" 64 'PE\0\0\114\001'
patch "$work/pe.exe" 84 '\340\0\002\001\013\001'
patch "$work/pe.exe" 180 '\020'
openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes -days 1 -subj /CN=corpus \
    -keyout "$work/key.pem" -out "$work/cert.pem" 2>/dev/null
signed=$here/corpus/package/signed
"$pack" build --viewer "$work/pe.exe" --out "$signed" --digest --sign "$work/cert.pem" "$work/key.pem" \
    "$work/book" >/dev/null
# The table's entry: offset 216, its start and size as little-endian u32.
u32() { printf "\\$(printf %03o $(($1 & 255)))\\$(printf %03o $(($1 >> 8 & 255)))\\$(printf %03o $(($1 >> 16 & 255)))\\$(printf %03o $(($1 >> 24 & 255)))"; }
size=$(wc -c <"$signed")
cp "$signed" "$here/corpus/package/signed-beyond"
patch "$here/corpus/package/signed-beyond" 220 "$(u32 $((size)))"
cp "$signed" "$here/corpus/package/signed-overlap"
patch "$here/corpus/package/signed-overlap" 216 "$(u32 520)"
