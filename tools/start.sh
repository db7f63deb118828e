#!/usr/bin/env bash
# Installs what is missing, builds, prepares a first-use installation when there is none, and starts Brenvik.
set -euo pipefail
cd "$(dirname "$0")/.."
bash tools/install-packages.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRENVIK_TESTS=OFF >/dev/null
cmake --build build -j"$(nproc)"
./build/brenvik-cli prepare-installation
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "Keine Anzeige vorhanden (DISPLAY ist nicht gesetzt). Brenvik ist gebaut und eingerichtet;"
  echo "starten Sie es mit einem virtuellen Bildschirm:  xvfb-run -a $(pwd)/build/brenvik"
  exit 0
fi
exec ./build/brenvik
