#!/usr/bin/env bash
# Whole-command comparison of brevane-batch with other converters on the same job: N photo-like
# 4000x3000 JPEGs resized into 1440x1080 with Lanczos3 and written as JPEG quality 85.
# Needs imagemagick (and libvips-tools for the vips row); neither is a run-time dependency.
# Usage: bench/peers/compare.sh [N]
set -euo pipefail
cd "$(dirname "$0")/../.."
n=${1:-8}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/in" "$work/brv" "$work/im" "$work/vips"
/usr/bin/convert -size 4000x3000 plasma:fractal -blur 0x1 -quality 92 "$work/in/p0.jpg"
for i in $(seq 1 $((n - 1))); do cp "$work/in/p0.jpg" "$work/in/p$i.jpg"; done
batch=./build/bin/brevane-batch

run() {
  local name=$1; shift
  /usr/bin/time -f "$name: %e s wall, %U s user, %S s sys, %M KiB peak" "$@" >/dev/null
}
run brevane-batch "$batch" -o "$work/brv" --set Selected_mode=1 --set Resize_width=1440 --set Resize_height=1080 \
  --set Resampling_filter=5 --set JPG_quality=85 --set Exif=0 --set Rename_enabled=0 --set Overwrite=1 --quiet "$work/in"
run imagemagick /usr/bin/mogrify -path "$work/im" -filter Lanczos -resize 1440x1080 -quality 85 "$work/in"/*.jpg
if command -v vips >/dev/null; then
  run vips sh -c 'for f in "$0"/in/*.jpg; do vips resize "$f" "$0/vips/$(basename "$f")[Q=85]" 0.36 --kernel lanczos3; done' "$work"
fi
