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
