#!/usr/bin/env bash
# A screenshot of the desktop app at full capacity over a wallpaper picture:
# the data generator's "full" folder, with a picture drawn here added as a
# wallpaper and made current by the headless runner, then the app's
# --screenshot on a virtual display.
#
#   bench/screenshot.sh BUILD_DIR OUT.png
# Needs the targets vellumine, vellumine-cli and vellumine_bench_mem, python3
# and xvfb-run.
set -euo pipefail
build=${1:?usage: bench/screenshot.sh BUILD_DIR OUT.png}
out=${2:?usage: bench/screenshot.sh BUILD_DIR OUT.png}
shm=/dev/shm
[ -d "$shm" ] || shm=${TMPDIR:-/tmp}
work=$(mktemp -d "$shm/vellumine-shot.XXXXXX")
trap 'rm -rf "$work"' EXIT
"$build/bin/vellumine_bench_mem" gen full "$work/data" >/dev/null
# A landscape at dusk: a sky, a sun, hills and a lake; no outside file.
python3 - "$work/wallpaper.png" <<'PY'
import math, struct, sys, zlib
W, H = 1280, 800
rows = []
for y in range(H):
    row = bytearray(b"\0")
    t = y / H
    for x in range(W):
        r, g, b = 60 + 170 * t, 90 + 60 * t, 170 - 60 * t
        d = math.hypot(x - 930, y - 250)
        if d < 70:
            r, g, b = 255, 214, 140
        elif d < 200:
            k = (200 - d) / 130 * 0.5
            r, g, b = r + (255 - r) * k, g + (190 - g) * k, b + (120 - b) * k
        hill = 520 + 45 * math.sin(x / 170) + 25 * math.sin(x / 53 + 1)
        if y > hill:
            s = (y - hill) / (H - hill + 1)
            r, g, b = 40 + 30 * s, 70 + 40 * s, 50 + 20 * s
        if y > 690:
            w = 0.5 + 0.5 * math.sin(x / 9 + y / 3)
            r, g, b = 50 + 40 * w, 80 + 50 * w, 120 + 60 * w
        row += bytes(max(0, min(255, int(v))) for v in (r, g, b))
    rows.append(bytes(row))
def chunk(tag, data):
    return struct.pack(">I", len(data)) + tag + data + struct.pack(">I", zlib.crc32(tag + data))
png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", W, H, 8, 2, 0, 0, 0))
       + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
open(sys.argv[1], "wb").write(png)
PY
# The generated folder holds 1000 wallpapers, the most there may be: one
# goes to make room for the picture, which then becomes the current one.
printf '%s\n' '["InitPage"]' '["RemoveWallPaper", 999]' \
  "[\"AddWallPaper\", \"$work/wallpaper.png\"]" '["SetBG", 999]' |
  "$build/bin/vellumine-cli" --data "$work/data" --seed 1 >/dev/null
mkdir -p "$(dirname "$out")"
GSETTINGS_BACKEND=memory xvfb-run -a -s "-screen 0 1280x800x24" \
  "$build/bin/vellumine" --data "$work/data" --screenshot "$out"
echo "wrote $out"
