#!/usr/bin/env bash
# Pictures of every window: builds the program, prepares a fresh installation in a temporary folder with the sample
# client (the sample register imported and valued; an address, key figures and a building object are added by the
# picture run itself), starts the program on a virtual 1366 x 768 screen and saves a PNG of the main window with
# each tab and of every dialog, as opened from where a user opens it. OUT/fenster.txt lists each window's size.
#   bash tools/screenshots.sh OUT
set -euo pipefail
out="${1:?Aufruf: bash tools/screenshots.sh AUSGABEORDNER}"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
cd "$(dirname "$0")/.."
bash tools/install-packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENVIK_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)" --target brenvik-cli brenvik-screenshots

data="$(mktemp -d)"
trap 'rm -rf "$data"' EXIT
export BRENVIK_DATA_DIR="$data"
./build/brenvik-cli prepare-installation
./build/brenvik-cli new-client "Muster Metallbau GmbH"
./build/brenvik-cli import --client 1 --file data/Beispielanlagen.xlsx
./build/brenvik-cli value --client 1
rm -f "$out"/*.png
# The virtual screen is started here and waited for at the end, so that nothing of it outlives the script.
display=99
while [[ -e "/tmp/.X${display}-lock" ]]; do display=$((display + 1)); done
Xvfb ":$display" -screen 0 1366x768x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
trap 'kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null; rm -rf "$data"' EXIT
for _ in $(seq 1 50); do [[ -e "/tmp/.X11-unix/X$display" ]] && break; sleep 0.1; done
DISPLAY=":$display" ./build/brenvik-screenshots "$out"
echo "Bilder in $out"
