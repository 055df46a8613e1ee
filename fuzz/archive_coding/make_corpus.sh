#!/bin/sh
# Writes the seed files of fuzz/corpus/archive_coding: a first byte that sets
# the piece size, then coded data with its head. Long enough for the wide run:
# runs of back-references at near and far distances, repeated markers,
# literal runs, long copies, and one stream with a damaged code in the middle.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out="$root/fuzz/corpus/archive_coding"
mkdir -p "$out"
seed() {
    LC_ALL=C awk -v kind="$1" 'BEGIN {
        marker = 254; n = 0; decoded = 0; seed = 7
        for (i = 0; i < 300; i++) { code[n++] = (i * 7) % 250; decoded++ }
        for (k = 0; k < 240; k++) {
            seed = (seed * 1103515245 + 12345) % 2147483648
            r = int(seed / 65536)
            if (k % 17 == 5) { code[n++] = marker; code[n++] = marker; decoded++; continue }
            if (k % 23 == 9) { for (j = 0; j < 1 + r % 90; j++) { code[n++] = (r + j) % 250; decoded++ } continue }
            if (kind == "damaged" && k == 120) { code[n++] = marker; code[n++] = 3; code[n++] = 1; code[n++] = 0; code[n++] = 0; continue }
            len = 4 + r % 61
            if (kind == "long" && k % 5 == 0) len = 65 + r % 600
            distance = (k % 3 == 0) ? 1 + r % 64 : 1 + r % (decoded < 5000 ? decoded : 5000)
            extra = len - 4
            bytes = (distance - 1 < 256) ? 1 : 2
            c = (extra % 32) * 8 + (extra >= 32 ? 4 : 0) + bytes - 1
            if (c >= marker) c++
            code[n++] = marker; code[n++] = c
            if (extra >= 32) code[n++] = int(extra / 32)
            code[n++] = (distance - 1) % 256
            if (bytes == 2) code[n++] = int((distance - 1) / 256)
            decoded += len
        }
        for (i = 0; i < 200; i++) { code[n++] = (i * 11) % 250; decoded++ }
        total = n + 9
        printf "%c", 57
        for (b = 0; b < 4; b++) printf "%c", int(decoded / 256 ^ b) % 256
        for (b = 0; b < 4; b++) printf "%c", int(total / 256 ^ b) % 256
        printf "%c", marker
        for (i = 0; i < n; i++) printf "%c", code[i]
    }' > "$out/$1.bin"
}
seed runs
seed long
seed damaged
