#!/usr/bin/env bash
# kelmo-calc draws its report charts and plan maps with QPainter: it must load neither Qt
# Widgets nor Qt Charts, so that it runs where only Qt Core and Gui are installed.
set -euo pipefail
calc="$1"
libraries=$(ldd "$calc")
if ! grep -q 'libQt6Core' <<<"$libraries"; then
    echo "ldd did not list the Qt libraries of $calc:" >&2
    echo "$libraries" >&2
    exit 1
fi
forbidden=$(grep -E 'libQt6(Widgets|Charts|OpenGLWidgets)' <<<"$libraries" || true)
if [ -n "$forbidden" ]; then
    echo "kelmo-calc links libraries of the windows:" >&2
    echo "$forbidden" >&2
    exit 1
fi
echo "kelmo-calc links no Qt Widgets and no Qt Charts"
