#!/bin/bash
# Renders the PNGs that the program loads from the SVG drawings beside them; run it after
# editing a drawing and commit both. Needs rsvg-convert (Debian: librsvg2-bin).
#
# NAME.svg gives NAME.png at the size written in its <svg> element, and NAME@2x.png at twice
# that size from NAME@2x.svg when there is one (a smooth drawing where the small size is
# placed pixel by pixel), else from NAME.svg again. The application icon has a 16-pixel
# drawing and one large drawing for every other size; book-256.png is only installed into
# the desktop's icon theme.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")"

render() { # SOURCE OUTPUT WIDTH HEIGHT
    rsvg-convert --width "$3" --height "$4" --output "$2" "$1"
}

for svg in toolbar/*.svg tree/*.svg kinds/*.svg; do
    [[ $svg == *@2x.svg ]] && continue
    name=${svg%.svg}
    read -r width height < <(sed -n 's/^<svg[^>]* width="\([0-9]*\)" height="\([0-9]*\)".*/\1 \2/p' "$svg")
    render "$svg" "$name.png" "$width" "$height"
    large=$name@2x.svg
    [[ -f $large ]] || large=$svg
    render "$large" "$name@2x.png" $((2 * width)) $((2 * height))
done

render app/book-16.svg app/book-16.png 16 16
render app/book.svg app/book-16@2x.png 32 32
for size in 32 48 64; do
    render app/book.svg "app/book-$size.png" "$size" "$size"
    render app/book.svg "app/book-$size@2x.png" $((2 * size)) $((2 * size))
done
render app/book.svg app/book-256.png 256 256
