#!/usr/bin/env bash
# End-to-end check of the desktop program under a virtual X server: starts brevane with the
# bundled samples in its list, presses Convert with a click, waits for the run's summary,
# checks the output folder and keeps screenshots of the progress dialog while it runs and once
# it has finished. COPIES=N lists each sample N times (a longer run to look at).
# Usage: [COPIES=N] tools/gui-e2e.sh [BUILD_DIR] [LANGUAGE (English|Russian)] [SHOT_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}")
language=${2:-English}
shots=$(realpath -m "${3:-$build/e2e}")
mkdir -p "$shots"
for tool in xvfb-run xdotool import; do
  command -v "$tool" >/dev/null || { echo "gui-e2e: $tool is missing (tools/install-deps.sh installs it)"; exit 77; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/config/Brevane" "$work/run" "$work/in" "$work/out"
chmod 700 "$work/run"
copies=${COPIES:-1}
for i in $(seq 1 "$copies"); do
  for f in data/samples/*; do
    name=$(basename "$f")
    if [ "$copies" -eq 1 ]; then cp "$f" "$work/in/$name"; else cp "$f" "$work/in/${name%.*}-$i.${name##*.}"; fi
  done
done
# One file that cannot be read, for an error line in the log.
printf 'not a picture' >"$work/in/damaged.png"
expected=$(($(ls "$work/in" | wc -l) - 1))
cat >"$work/config/Brevane/Settings.ini" <<INI
[Settings]
Language=$language
Output_path=$work/out/
Threads=2
Output_format=0
Selected_mode=2
Resize_percent=50
INI

export work build shots expected language copies
xvfb-run -a -s "-screen 0 1280x900x24" bash -c '
  set -euo pipefail
  export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_RUNTIME_DIR="$work/run"
  unset DBUS_SESSION_BUS_ADDRESS
  "$build/bin/brevane" "$work/in" >"$work/brevane.log" 2>&1 &
  pid=$!
  wid=$(xdotool search --sync --onlyvisible --name "^Brevane v" | head -1)
  sleep 1
  eval "$(xdotool getwindowgeometry --shell "$wid")"
  import -window root "$shots/before-$language.png"
  # Convert sits at the bottom right, left of Exit (90 pixels wide, 6 apart, 6 from the edges).
  xdotool mousemove --window "$wid" $((WIDTH - 6 - 90 - 6 - 40)) $((HEIGHT - 6 - 16)) click 1
  running_shot=0
  for _ in $(seq 1 $((300 * copies))); do
    done_files=$(ls "$work/out" | wc -l)
    [ "$done_files" -ge "$expected" ] && break
    if [ "$running_shot" -eq 0 ] && [ "$copies" -gt 1 ] && [ "$done_files" -ge $((expected / 3)) ]; then
      import -window root "$shots/running-$language.png"
      running_shot=1
    fi
    sleep 0.1
  done
  sleep 1.5  # the completion watcher and the summary
  dialog=$(xdotool search --onlyvisible --name "^(Converting|Обработка)$" | head -1 || true)
  import -window root "$shots/finished-$language.png"
  [ -n "$dialog" ] && import -window "$dialog" "$shots/dialog-$language.png"
  kill -9 "$pid" 2>/dev/null || true
'
count=$(ls "$work/out" | wc -l)
echo "gui-e2e ($language): $count of $expected files written to the output folder:"
ls -la "$work/out"
echo "screenshots in $shots"
[ "$count" -eq "$expected" ]
