#!/usr/bin/env bash
# Installs what is missing, builds Release into build/, then converts the bundled samples in
# data/samples/ with the default options into ./brv-output/. With arguments, they are handed
# to brevane-batch instead (files, folders, options).
set -euo pipefail
cd "$(dirname "$0")"
./tools/install-deps.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build --target brevane-batch rawdll
if [ $# -gt 0 ]; then
  exec ./build/bin/brevane-batch "$@"
fi
status=0
./build/bin/brevane-batch -o "$PWD/brv-output" --set Overwrite=1 "$PWD/data/samples" || status=$?
echo "The converted samples are in $PWD/brv-output/"
exit $status
