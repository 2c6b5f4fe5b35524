#!/usr/bin/env bash
# Pictures of the user manual, written into docs/manual: every window (kelmo-manual-screens
# and the site plan's screenshot programs, drawn at twice the pixels so that they print at
# about 200 dpi) and a page
# of each document (the full report, the expert report and the Excel table, rendered by
# LibreOffice at 200 dpi). Usage: scripts/manual-pictures.sh
set -euo pipefail
cd "$(dirname "$0")/.."
out=docs/manual
bin=build/bin
cmake --build build -j2 --target kelmo-manual-screens kelmo-calc kelmo_expert_template >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen QT_SCALE_FACTOR=2 "$bin/kelmo-manual-screens" "$out"

charge=(--mass 1000 --air)
export LANG=ru_RU.UTF-8 LC_ALL= # Russian numbers: a decimal comma
"$bin/kelmo-calc" report "${charge[@]}" --docx "$work/full.docx" >/dev/null
"$bin/kelmo-calc" expert "${charge[@]}" --at 50 --docx "$work/expert.docx" >/dev/null
"$bin/kelmo-calc" table "${charge[@]}" --xlsx "$work/table.xlsx" >/dev/null
for f in full.docx expert.docx table.xlsx; do
    (cd "$work" && soffice --headless "-env:UserInstallation=file://$work/lo" --convert-to pdf \
        "$f" >/dev/null 2>&1)
done
page() { # pdf, page, picture, share of the page height kept from the top
    pdftoppm -r 200 -f "$2" -l "$2" -png -singlefile "$work/$1" "$work/page"
    local w h cut
    w=$(identify -format %w "$work/page.png")
    h=$(identify -format %h "$work/page.png")
    cut=$(( h * $4 / 100 ))
    # Cut in the last blank band above that share, so that no line of text is halved: each row
    # averaged to one pixel, white where the row is empty.
    cut=$(convert "$work/page.png" -crop "${w}x${cut}+0+0" +repage -colorspace gray \
        -scale "1x${cut}!" -depth 8 txt:- | awk -F'[,:]' '/#FFFFFF|gray\(255\)/ { y = $2 } END { print y }')
    convert "$work/page.png" -crop "${w}x${cut}+0+0" +repage -trim -bordercolor white \
        -border 40 "$out/$3"
}
page full.pdf 1 report-full.png 60
page expert.pdf 1 report-expert.png 55
page table.pdf 1 report-excel.png 30
# The windows of site plans, drawn by their own screenshot programs at twice the pixels too, in
# Russian numbers; the manual takes the pictures it shows.
cmake --build build -j2 --target kelmo-situation-screens kelmo-scenario-screens \
    kelmo-import-screens kelmo-plan-screens kelmo-map-screens >/dev/null
shots="$work/shots"
mkdir -p "$shots"
for program in "$bin/kelmo-situation-screens" "$bin/kelmo-scenario-screens" \
    "$bin/kelmo-import-screens" "$bin/kelmo-plan-screens" build/tools/kelmo-map-screens; do
    QT_SCALE_FACTOR=2 xvfb-run -a -s "-screen 0 2732x1536x24" "$program" "$shots" >/dev/null
done
# situation-map is the map page alone, as the map's own program draws it last.
for name in situation situation-map plan-scenarios situation-worst situation-worst-map plan-import \
    plan-imported map-edit-drawing map-edit-selected; do
    cp "$shots/$name.png" "$out/$name.png"
done
cp "$shots/situation-map-background.png" "$out/map-background.png"
ls -l "$out"
