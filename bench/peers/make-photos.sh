#!/usr/bin/env bash
# Makes the benchmark photographs: real photos from Debian's wallpaper packages (downloaded with
# apt-get download and unpacked with dpkg -x, never installed), scaled to cover 4000x3000, cut to
# it and saved as JPEG quality 92 with 4:2:0 sub-sampling. Nothing of this goes into the
# repository. Usage: bench/peers/make-photos.sh [DIR] [N]   (default /tmp/brv-photos/in, 24)
set -euo pipefail
out=${1:-/tmp/brv-photos/in}
n=${2:-24}
base=$(dirname "$out")
mkdir -p "$base/debs" "$base/x" "$out"
if [ "$(find "$out" -maxdepth 1 -name '*.jpg' | wc -l)" -ge "$n" ]; then
  echo "$out already holds $n photographs"
  exit 0
fi
cd "$base/debs"
for pkg in lomiri-wallpapers-16.04 lomiri-wallpapers-20.04 mate-backgrounds plasma-workspace-wallpapers; do
  ls "$pkg"_*.deb >/dev/null 2>&1 || apt-get download "$pkg"
done
for deb in *.deb; do dpkg -x "$deb" "$base/x"; done
# Pillow is an independent tool for this; the system's python3 has it.
/usr/bin/python3 - "$base/x" "$out" "$n" <<'PY'
import os, sys
from PIL import Image
src, out, n = sys.argv[1], sys.argv[2], int(sys.argv[3])
found = []
for root, _, files in os.walk(src):
    for f in files:
        if not f.lower().endswith(('.jpg', '.jpeg')):
            continue
        p = os.path.join(root, f)
        try:
            with Image.open(p) as im:
                if im.mode == 'RGB' and min(im.size) >= 1600:
                    found.append((-(im.size[0] * im.size[1]), p))
        except OSError:
            pass
found.sort()
if len(found) < n:
    sys.exit(f"only {len(found)} photographs found")
W, H = 4000, 3000
for i, (_, p) in enumerate(found[:n]):
    with Image.open(p) as im:
        scale = max(W / im.size[0], H / im.size[1])
        size = (max(W, round(im.size[0] * scale)), max(H, round(im.size[1] * scale)))
        im = im.resize(size, Image.LANCZOS)
        x, y = (size[0] - W) // 2, (size[1] - H) // 2
        im = im.crop((x, y, x + W, y + H))
        im.save(os.path.join(out, f"photo{i:02d}.jpg"), quality=92, subsampling=2)
print(f"{n} photographs of {W}x{H} in {out}")
PY
