#!/usr/bin/env bash
# Installs what is missing and builds Release into build/. With a display (DISPLAY or
# WAYLAND_DISPLAY set) it starts the desktop program with the bundled samples of data/samples/
# in its list; without one it converts those samples with brevane-batch into ./brv-output/.
# With arguments, they are handed to brevane-batch instead (files, folders, options).
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release -DBREVANE_BUILD_GUI=ON >/dev/null
if [ $# -gt 0 ]; then
  cmake --build build --target brevane-batch rawdll
  exec ./build/bin/brevane-batch "$@"
fi
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && grep -q '^BREVANE_BUILD_GUI:BOOL=ON' build/CMakeCache.txt; then
  cmake --build build --target brevane rawdll
  echo "A display is present: starting the desktop program brevane with data/samples/ in its list."
  exec ./build/bin/brevane "$PWD/data/samples"
fi
cmake --build build --target brevane-batch rawdll
echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): converting data/samples/ with brevane-batch."
status=0
./build/bin/brevane-batch -o "$PWD/brv-output" --set Overwrite=1 "$PWD/data/samples" || status=$?
echo "The converted samples are in $PWD/brv-output/"
exit $status
