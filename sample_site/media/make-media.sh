#!/usr/bin/env bash
# Makes the sample site's songs: short tones, a few KB each, encoded with lame (Debian package
# "lame"). Run once; the MP3 files are kept in the repository so a build needs no encoder.
set -euo pipefail
cd "$(dirname "$0")"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# uid  frequency (Hz) of the tone
while read -r uid freq; do
  python3 - "$tmp/$uid.wav" "$freq" <<'PY'
import math, struct, sys, wave
path, freq = sys.argv[1], float(sys.argv[2])
rate, seconds = 22050, 1.5
with wave.open(path, "wb") as w:
    w.setnchannels(1)
    w.setsampwidth(2)
    w.setframerate(rate)
    frames = bytearray()
    n = int(rate * seconds)
    for i in range(n):
        fade = min(1.0, i / 2000, (n - i) / 2000)  # no click at either end
        frames += struct.pack("<h", int(12000 * fade * math.sin(2 * math.pi * freq * i / rate)))
    w.writeframes(bytes(frames))
PY
  lame --quiet -m m -b 32 --resample 22.05 "$tmp/$uid.wav" "$uid.mp3"
done <<'LIST'
1001 440
1002 494
1003 523
1004 587
1005 659
1006 698
1007 784
LIST
