#!/bin/sh
# Writes the seed files of fuzz/corpus/midi_file, byte by byte: a one-track
# file with a tempo, a program change and two notes, one with running status,
# a SysEx and a time-code division, and a two-track file.
set -eu
root=$(cd "$(dirname "$0")/../.." && pwd)
out="$root/fuzz/corpus/midi_file"
mkdir -p "$out"
printf 'MThd\000\000\000\006\000\000\000\001\001\340MTrk\000\000\000\041\000\377\121\003\007\241\040\000\300\000\000\220\074\144\201\160\200\074\000\203\140\220\103\144\201\160\200\103\000\000\377\057\000' > "$out/two_notes.mid"
printf 'MThd\000\000\000\006\000\000\000\001\347\050MTrk\000\000\000\024\000\360\003\176\011\001\000\220\074\144\020\076\144\020\074\000\000\377\057\000' > "$out/running_status.mid"
printf 'MThd\000\000\000\006\000\001\000\002\000\140MTrk\000\000\000\013\000\377\121\003\017\102\100\000\377\057\000MTrk\000\000\000\014\000\220\074\144\140\200\074\000\000\377\057\000' > "$out/two_tracks.mid"
