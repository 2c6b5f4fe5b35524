#!/usr/bin/env bash
# Screenshots of the zone input window, the parameters dialog and every results page after the
# worked run (1000 kg, 4520 kJ/kg, in the air), of the two reference database editors with a
# change open, and of the site plan editor with a plan of three structures, made under a virtual
# X server at 1366×768. The windows are opened through the shell, as the program opens them.
# Usage: scripts/screenshots.sh [output folder, default build/screenshots]
# The README's pictures are made with: scripts/screenshots.sh docs/screens
set -euo pipefail
cd "$(dirname "$0")/.."
out="${1:-build/screenshots}"
make build >/dev/null
mkdir -p "$out"
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" build/bin/kelmo-zone-screens "$out"
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" build/bin/kelmo-editor-screens "$out"
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" build/bin/kelmo-plan-screens "$out"
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" build/bin/kelmo-import-screens "$out"
# The plan map: the plan window with its map, the situation map without and with a picture.
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" build/tools/kelmo-map-screens "$out"
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" build/bin/kelmo-situation-screens "$out"
LC_ALL=C.UTF-8 xvfb-run -a -s "-screen 0 1366x768x24" build/bin/kelmo-scenario-screens "$out"
ls "$out"
