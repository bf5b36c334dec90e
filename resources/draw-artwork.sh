#!/usr/bin/env bash
# Draws the program's artwork into this folder. The results are committed, so a build
# needs no image tool; run this again only after changing the artwork.
#
# Each picture is drawn from one description at every scale the windows use (100, 125, 150
# and 200 %), each at its own pixel size, so that none of them is ever stretched. The button
# faces and the logo are sized like the spots the window gives them: their spot in twips at
# the scale's DPI, rounded as the window rounds it.
#
# Needs Debian's ImageMagick 6 (package imagemagick), the DejaVu fonts (fonts-dejavu-core)
# and python3. ImageMagick is called by its full name so that no other "convert" on PATH
# answers; set CONVERT to use another ImageMagick 6.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
convert=${CONVERT:-/usr/bin/convert-im6.q16}
fonts=/usr/share/fonts/truetype/dejavu
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Shapes are drawn this many times larger and scaled down, which smooths their edges.
oversample=8
scales=(100 125 150 200)

# Plain RGB PNG without dates or colour profiles: the same bytes on every run, and the
# colours a program reads back are the ones written here.
png() { echo "-strip -define png:exclude-chunks=date,time -define png:color-type=2 PNG24:$1"; }

# n × percent / 100, rounded half up.
scaled() { echo $((($1 * $2 + 50) / 100)); }

# Twips to pixels at the scale's DPI (96 × percent / 100), rounded as the window does.
spot() { echo $((($1 * 96 * $2 / 100 + 720) / 1440)); }

# A rounded shape filled with a vertical gradient, smoothed, on transparent ground.
# Arguments: width height top-colour bottom-colour corner-radius outline-colour outline-width output
# (radius and outline width in oversampled pixels; an outline width of 0 draws none)
rounded_shape() {
  local w=$(($1 * oversample)) h=$(($2 * oversample)) r=$5 stroke=$7
  local edge=()
  if ((stroke > 0)); then
    # The outline lies just inside the shape's edge.
    local i=$((stroke / 2))
    edge=(-fill none -stroke "$6" -strokewidth "$stroke"
          -draw "roundrectangle $i,$i $((w - 1 - i)),$((h - 1 - i)) $((r - i)),$((r - i))")
  fi
  "$convert" -size "${w}x${h}" "gradient:$3-$4" \
    \( -size "${w}x${h}" xc:black -fill white -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) $r,$r" \) \
    -alpha off -compose CopyOpacity -composite "${edge[@]}" -resize "$1x$2!" "$8"
}

# The maker's badge: "Qor" over "Mavik" on blue, or a lone "Q" where the words would not be legible.
# Arguments: width height point-size-of-Qor point-size-of-Mavik line-gap output(PNG with alpha)
draw_badge() {
  rounded_shape "$1" "$2" '#2f7ae0' '#0a3a8a' $(($1 * oversample / 8)) none 0 "$work/badge.png"
  local words
  if (($4 > 0)); then
    words=(-fill white -pointsize "$3" label:Qor -trim
           -fill '#ffd23c' -pointsize "$4" label:Mavik -trim -gravity center -smush "$5")
  else
    words=(-fill white -pointsize "$3" label:Q -trim)
  fi
  "$convert" "$work/badge.png" \
    \( -background none -font "$fonts/DejaVuSansCondensed-Bold.ttf" "${words[@]}" +repage \) \
    -gravity center -compose Over -composite "$6"
}

# The logo as the window shows it: the badge laid on the white window.
# Arguments: percent
draw_logo() {
  local p=$1 suffix
  suffix=$([ "$p" = 100 ] && echo "" || echo "-$p")
  draw_badge "$(spot 960 "$p")" "$(spot 480 "$p")" "$(scaled 12 "$p")" "$(scaled 14 "$p")" \
    "$(scaled 2 "$p")" "$work/logo.png"
  # shellcheck disable=SC2046
  "$convert" "$work/logo.png" -background white -flatten $(png "$here/logo$suffix.png")
}

# The four faces of the download button: the same light green face, a coloured label.
# Arguments: percent
draw_buttons() {
  local p=$1 suffix w h
  suffix=$([ "$p" = 100 ] && echo "" || echo "-$p")
  w=$(spot 2340 "$p")
  h=$(spot 765 "$p")
  rounded_shape "$w" "$h" '#e9fbe2' '#ade39b' $((14 * oversample * p / 100)) '#5e9f4e' \
    $((oversample * p / 100)) "$work/face.png"
  local face=0
  for label in 'İndir&Kur:#7fa7e3' 'İndir&Kur:#1447c8' 'İptal:#f08a00' 'İptal:#d41414'; do
    # shellcheck disable=SC2046
    "$convert" "$work/face.png" -background white -flatten \
      -font "$fonts/DejaVuSans-Bold.ttf" -pointsize "$(scaled 22 "$p")" -gravity center \
      -fill "${label#*:}" -annotate "+0+$(scaled 1 "$p")" "${label%:*}" \
      $(png "$here/button$face$suffix.png")
    face=$((face + 1))
  done
}

for p in "${scales[@]}"; do
  draw_logo "$p"
  draw_buttons "$p"
done

# The program icon in the sizes Windows asks for, square, from the same badge; its corners
# stay transparent. Handed over as raw RGBA, which the icon writer reads without a library.
icons=()
for size in 16 24 32 48; do
  if ((size >= 32)); then
    draw_badge "$size" "$size" $((size * 7 / 24)) $((size * 15 / 48)) 0 "$work/icon.png"
  else
    draw_badge "$size" "$size" $((size * 3 / 4)) 0 0 "$work/icon.png"
  fi
  "$convert" "$work/icon.png" -depth 8 "RGBA:$work/icon-$size.rgba"
  icons+=("$work/icon-$size.rgba")
done
python3 "$here/write-icon-files.py" "$here/program.ico" "$here/hand.cur" "${icons[@]}"
