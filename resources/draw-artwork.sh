#!/usr/bin/env bash
# Draws the program's artwork into this folder. The results are committed, so a build
# needs no image tool; run this again only after changing the artwork.
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

# A shape filled with a vertical gradient, smoothed and laid on white.
# Arguments: width height top-colour bottom-colour corner-radius(px) [outline-colour outline-width(px)]
rounded_face() {
  local w=$(($1 * oversample)) h=$(($2 * oversample)) r=$(($5 * oversample))
  local edge=()
  if [[ $# -gt 5 ]]; then
    # The outline lies just inside the face's edge.
    local stroke=$(($7 * oversample)) i=$(($7 * oversample / 2))
    local outline="roundrectangle $i,$i $((w - 1 - i)),$((h - 1 - i)) $((r - i)),$((r - i))"
    edge=(-fill none -stroke "$6" -strokewidth "$stroke" -draw "$outline")
  fi
  "$convert" -size "${w}x${h}" "gradient:$3-$4" \
    \( -size "${w}x${h}" xc:black -fill white -draw "roundrectangle 0,0 $((w - 1)),$((h - 1)) $r,$r" \) \
    -alpha off -compose CopyOpacity -composite -background white -compose Over -flatten \
    "${edge[@]}" -resize "$1x$2!" -type truecolor "$work/face-$1x$2.png"
}

# The maker's logo: "Qor" over "Mavik" on a blue badge.
# Arguments: width height point-size-of-Qor point-size-of-Mavik line-gap output
draw_logo() {
  rounded_face "$1" "$2" '#2f7ae0' '#0a3a8a' $(($2 / 4))
  "$convert" "$work/face-$1x$2.png" \
    \( -background none -font "$fonts/DejaVuSansCondensed-Bold.ttf" \
       -fill white -pointsize "$3" label:Qor -trim \
       -fill '#ffd23c' -pointsize "$4" label:Mavik -trim \
       -gravity center -smush "$5" +repage \) \
    -gravity center -compose Over -composite -type truecolor "$6"
}

# One face of the download button: the same light green face, a coloured label.
# Arguments: label colour output
draw_button() {
  "$convert" "$work/face-156x51.png" \
    -font "$fonts/DejaVuSans-Bold.ttf" -pointsize 22 -gravity center \
    -fill "$2" -annotate +0+1 "$1" -type truecolor "BMP3:$3"
}

draw_logo 64 32 12 14 2 "BMP3:$here/logo.bmp"
draw_logo 48 25 10 11 1 "BMP3:$work/program.bmp"
python3 "$here/write-icon-files.py" "$work/program.bmp" "$here/program.ico" "$here/hand.cur"

rounded_face 156 51 '#e9fbe2' '#ade39b' 14 '#5e9f4e' 1
draw_button 'İndir&Kur' '#7fa7e3' "$here/button0.bmp"
draw_button 'İndir&Kur' '#1447c8' "$here/button1.bmp"
draw_button 'İptal' '#f08a00' "$here/button2.bmp"
draw_button 'İptal' '#d41414' "$here/button3.bmp"
