#!/usr/bin/env bash
# Renders the application icon's PNGs and the Windows .ico from the SVGs.
# The results are committed, so a build never needs librsvg or ImageMagick;
# run this again after changing an SVG.
# Needs: rsvg-convert (librsvg2-bin) and convert (imagemagick).
set -euo pipefail
cd "$(dirname "$0")"

# The 16 and 24 px images have SVGs of their own, drawn pixel by pixel: the
# large design scaled down to them is a blur.
sizes=(16 24 32 48 64 128)
for s in "${sizes[@]}"; do
    source=lexivorn.svg
    [[ -f "lexivorn-$s.svg" ]] && source="lexivorn-$s.svg"
    rsvg-convert --width "$s" --height "$s" --format png "$source" --output "lexivorn-$s.png"
done

# Windows wants the small sizes twice: 256-colour images for old displays and
# true-colour images with alpha. A 256-colour icon has only on/off
# transparency (its AND mask), so alpha is cut at one half.
# ImageMagick writes a palette image at the smallest depth its colour map
# fits, and this flat design needs fewer than 16 colours, which would give
# 4 bits per pixel. Each map therefore gets a few unused greys appended, so
# it always needs the full 8 bits. The maps are applied in the run that
# writes the .ico: read back from a file, palette images come in as true
# colour and would be written at 32 bits.
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
palette=()
for s in 16 32 48; do
    convert "lexivorn-$s.png" -channel A -threshold 50% +channel +dither -colors 200 -unique-colors \
        '(' -size 24x1 gradient:'#101010-#f0f0f0' ')' +append "$work/map-$s.png"
    palette+=('(' "lexivorn-$s.png" -channel A -threshold 50% +channel +dither -remap "$work/map-$s.png" ')')
done
convert "${palette[@]}" \
    lexivorn-16.png lexivorn-32.png lexivorn-48.png lexivorn-64.png lexivorn-128.png \
    ../lexivorn.ico
echo "rendered: ${sizes[*]/%/ px} and ../lexivorn.ico"
