#!/usr/bin/env bash
# Whole-command comparison of brevane-batch with libvips on real photographs, all in one run:
#   J1: 4000x3000 JPEG photos -> fit 1920x1080 keeping proportions, Lanczos3, JPEG quality 85
#   J4: the same photos       -> fit 800x600, Lanczos3, PNG compression level 6
# Peers: `vips resize` (full decode; one process per file, two at a time) and `vipsthumbnail`
# (which may decode JPEG at a reduced size first; same pacing). The rounds interleave the
# commands, so every ratio compares runs made moments apart; medians are printed.
# libvips-tools is installed here for the comparison only (never a dependency of the program).
# Usage: bench/peers/compare.sh [ROUNDS] [THREADS]      (defaults 5 and 2)
#        BREVANE_PHOTOS=DIR picks the photographs (default: made by make-photos.sh under /tmp);
#        BREVANE_BATCH=PATH picks the brevane-batch binary (default ./build/bin/brevane-batch).
set -euo pipefail
cd "$(dirname "$0")/../.."
rounds=${1:-5}
threads=${2:-2}
photos=${BREVANE_PHOTOS:-/tmp/brv-photos/in}
batch=${BREVANE_BATCH:-./build/bin/brevane-batch}
[ -x "$batch" ] || { echo "no $batch: build first" >&2; exit 2; }
bench/peers/make-photos.sh "$photos" 24 >/dev/null
if ! command -v vips >/dev/null || ! command -v vipsthumbnail >/dev/null; then
  apt-get install -y --no-install-recommends libvips-tools >/dev/null
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
times=$work/times
: >"$times"

# One timed command: appends "job name wall user sys peakKiB".
timed() {
  local job=$1 name=$2; shift 2
  rm -rf "$work/out" && mkdir -p "$work/out"
  /usr/bin/time -o "$work/t" -f "%e %U %S %M" "$@" >/dev/null 2>"$work/err" || { cat "$work/err" >&2; exit 1; }
  echo "$job $name $(cat "$work/t")" >>"$times"
}

brv() {  # job, then --set arguments
  local job=$1; shift
  timed "$job" brevane "$batch" -o "$work/out" --set Threads="$threads" --set Exif=0 --set Overwrite=1 \
    --set Rename_enabled=0 --set Selected_mode=1 --set Resize_proportional=1 --set Resampling_filter=5 \
    --set SmartCrop_enable=0 --set EnlargeIfSmall=0 --quiet "$@" "$photos"
}

# Each peer converts one file per process, $threads processes at a time.
peer() {  # job name command-template (with {} for the input and OUT for the output folder)
  local job=$1 name=$2 template=$3
  timed "$job" "$name" sh -c "ls '$photos'/*.jpg | xargs -P $threads -I{} sh -c '$template'"
}

for r in $(seq "$rounds"); do
  brv J1 --set Output_format=0 --set Resize_width=1920 --set Resize_height=1080 --set JPG_quality=85
  peer J1 vips-resize "vips resize {} $work/out/\$(basename {})[Q=85] 0.36 --kernel lanczos3"
  peer J1 vipsthumbnail "vipsthumbnail {} --size 1920x1080 -o $work/out/%s.jpg[Q=85]"
  brv J4 --set Output_format=1 --set Resize_width=800 --set Resize_height=600 --set PNG_compression=6
  peer J4 vips-resize "vips resize {} $work/out/\$(basename {} .jpg).png[compression=6] 0.2 --kernel lanczos3"
  peer J4 vipsthumbnail "vipsthumbnail {} --size 800x600 -o $work/out/%s.png[compression=6]"
done

# Medians per job and command, and the median of the per-round ratios brevane / peer.
awk -v rounds="$rounds" -v threads="$threads" '
  function median(a, n,   i, j, t) {
    for (i = 2; i <= n; i++) { t = a[i]; for (j = i - 1; j >= 1 && a[j] > t; j--) a[j + 1] = a[j]; a[j + 1] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  { k = $1 " " $2; n[k]++; wall[k, n[k]] = $3; user[k, n[k]] = $4; sys[k, n[k]] = $5; peak[k, n[k]] = $6
    if (!($1 in seenjob)) { seenjob[$1] = 1; jobs[++nj] = $1 }
    if (!($2 in seenname)) { seenname[$2] = 1; names[++nn] = $2 } }
  END {
    printf "%d rounds, %d at a time, 24 photographs of 4000x3000 (medians)\n", rounds, threads
    for (a = 1; a <= nj; a++) {
      j = jobs[a]
      for (b = 1; b <= nn; b++) {
        k = j " " names[b]; if (!(k in n)) continue
        for (i = 1; i <= n[k]; i++) { w[i] = wall[k, i]; u[i] = user[k, i]; s[i] = sys[k, i]; p[i] = peak[k, i] }
        line = sprintf("%s %-14s wall %6.2f s  user %6.2f s  sys %5.2f s  peak %7d KiB", j, names[b],
                       median(w, n[k]), median(u, n[k]), median(s, n[k]), median(p, n[k]))
        if (names[b] != "brevane") {
          m = j " brevane"
          for (i = 1; i <= n[k]; i++) r[i] = wall[m, i] / wall[k, i]
          line = line sprintf("  brevane/this %.2fx", median(r, n[k]))
        }
        print line
      }
    }
  }' "$times"
