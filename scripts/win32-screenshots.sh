#!/usr/bin/env bash
# Renders the native dialog's screenshots under Wine and Xvfb:
#   scripts/win32-screenshots.sh BUILD_DIR OUT_DIR
# BUILD_DIR is an x86_64 Windows build with emberline-gui-screenshots.exe
# built. Writes OUT_DIR/win32-{burn,auxiliary,erase-question,message,station}-{en,zh_CN}.png.
set -euo pipefail

if [ -z "${DISPLAY:-}" ] && [ -z "${EMBERLINE_WINE_XVFB:-}" ]; then
  export EMBERLINE_WINE_XVFB=1
  exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

build_dir=$(cd "$1" && pwd)
mkdir -p "$2"
out_dir=$(cd "$2" && pwd)
. "$(dirname "$0")/wine-prefix.sh"
start_wine "$build_dir/wineprefix-screenshots"

# No window manager on Xvfb: Wine draws the frames itself. The dialog font is
# replaced by one that has the Chinese characters.
"$wine_dir/wine64" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1
"$wine_dir/wine64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'MS Shell Dlg' /d 'WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1
"$wine_dir/wine64" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
  /v 'MS Shell Dlg 2' /d 'WenQuanYi Micro Hei' /f </dev/null >/dev/null 2>&1

shots=$(mktemp -d)
"$wine_dir/wine64" "$build_dir/bin/emberline-gui-screenshots.exe" "Z:${shots//\//\\}" </dev/null

# 24-bit BMP to PNG with nothing but the standard library.
python3 - "$shots" "$out_dir" <<'PY'
import pathlib, struct, sys, zlib
src, dst = map(pathlib.Path, sys.argv[1:3])
for bmp in sorted(src.glob("win32-*.bmp")):
    data = bmp.read_bytes()
    offset, = struct.unpack_from("<I", data, 10)
    width, height, _, bits = struct.unpack_from("<iiHH", data, 18)
    assert bits == 24
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(abs(height)):
        row = data[offset + (abs(height) - 1 - y if height > 0 else y) * stride:][:width * 3]
        rgb = bytearray(row)
        rgb[0::3], rgb[2::3] = row[2::3], row[0::3]
        rows.append(b"\0" + bytes(rgb))
    def chunk(kind, body):
        return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
    png = (b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, abs(height), 8, 2, 0, 0, 0))
           + chunk(b"IDAT", zlib.compress(b"".join(rows), 9)) + chunk(b"IEND", b""))
    (dst / (bmp.stem + ".png")).write_bytes(png)
    print(dst / (bmp.stem + ".png"))
PY
rm -rf "$shots"
