#!/usr/bin/env bash
# Makes the four map files that the default map addresses point at, from the GSHHG shorelines
# that Debian ships with GMT (public domain). Only needed to remake the committed files:
#
#   apt-get install gmt gmt-gshhg-low gmt-gshhg-full
#   data/maps/make-maps.sh            # writes world.txt atlantic.txt bahamas.txt florida.txt here
#
# The scenario's own coordinates are an equirectangular projection of the globe:
#   map latitude  = 8.42 * (longitude in degrees + 101.5)   (along the picture's width)
#   map longitude = 9.36 * (latitude in degrees + 23.6)     (along its height, upward)
# Each file is the version 1.2 map text: a header that gives the size in pixels and the map
# coordinates it covers, then one text line per pixel row, top row first, run-length encoded
# ("412-35#553-/" is 412 sea pixels, 35 land pixels, 553 sea pixels). docs/file-formats.md has the
# whole grammar.
set -euo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
command -v gmt >/dev/null || { echo "make-maps: gmt is not installed" >&2; exit 1; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
cd "$work" # gmt leaves a history file in the folder it runs in

# make_map FILE TITLE RESOLUTION LAT0 LAT1 LNG0 LNG1 PIXELS-PER-UNIT
make_map() {
    local file=$1 title=$2 res=$3 lat0=$4 lat1=$5 lng0=$6 lng1=$7 ppu=$8
    local width=$(((lat1 - lat0) * ppu)) height=$(((lng1 - lng0) * ppu))
    local region
    region=$(awk -v a="$lat0" -v b="$lat1" -v c="$lng0" -v d="$lng1" 'BEGIN {
        printf "%.6f/%.6f/%.6f/%.6f", a / 8.42 - 101.5, b / 8.42 - 101.5, c / 9.36 - 23.6, d / 9.36 - 23.6 }')
    # Pixel registration: each value is the land/water state at a pixel's centre. Lakes count as
    # water, islands in lakes as land.
    gmt grdlandmask -R"$region" -I"${width}+n/${height}+n" -rp -D"$res" -N0/1/0/1/0 \
        -G"$work/$file.nc"
    {
        printf '#Brisal MapData(1.2) - %s, land and sea from the GSHHG shorelines\n' "$title"
        printf '%d\n%d:%d\n%d\n%d:%d\n0:0\n' "$width" "$lat0" "$lat1" "$height" "$lng0" "$lng1"
        gmt grd2xyz "$work/$file.nc" -ZTLa | awk -v w="$width" '
            function flush() { if (n > 0) { printf "%s%s", (n > 1 ? n : ""), c; } }
            {
                code = ($1 + 0 >= 0.5) ? "#" : "-"
                if (col == 0) { c = code; n = 0 }
                if (code == c) { n++ } else { flush(); c = code; n = 1 }
                col++
                if (col == w) { flush(); printf "/\n"; col = 0 }
            }'
    } >"$here/$file"
    echo "make-maps: $file ${width}x${height}, $(wc -c <"$here/$file") bytes" >&2
}

#        file          title                     res lat        lng       px/unit
make_map world.txt    "World (global map)"       i   0 1000     0 700     1
make_map atlantic.txt "Atlantic (station Alpha)" h   414 714    225 425   2
make_map bahamas.txt  "Bahamas (station Bravo)"  h   167 367    309 459   2
make_map florida.txt  "Florida (station Charlie)" h  104 264    412 532   2
