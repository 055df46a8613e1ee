#!/bin/sh
# Makes the seed archives of fuzz/corpus/archive_reader with our own writer:
#   fuzz/archive_reader/make_corpus.sh build/<dir>/tools/archive/cli/velk-archive
set -eu
writer=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
out="$root/fuzz/corpus/archive_reader"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir -p "$work/game/Sub/Deep" "$work/game/Empty" "$out"
printf 'hello archive\r\n' > "$work/game/A.TXT"
printf 'abcabcabcabcabcabcabcabcabcabcabcabc-xyz-xyzxyzxyz\n' > "$work/game/Sub/b.dat"
# Every byte value, twice, so the coder's marker byte occurs in the data.
i=0; while [ $i -lt 2 ]; do
  awk 'BEGIN { for (b = 1; b < 256; b++) printf "%c", b }' LC_ALL=C >> "$work/game/Sub/Deep/all.bin"
  i=$((i + 1))
done
printf '\xe8\xa1\xa8 table\n' > "$work/game/Sub/\xe8\xa1\xa8.txt"

"$writer" "$work/game" "$out/compressed.velk"
"$writer" --store "$work/game" "$out/stored.velk"
"$writer" --version 1 "$work/game" "$out/version1.velk"
"$writer" --second-key "$work/game" "$out/second_key.velk"
