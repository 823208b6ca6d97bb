#!/usr/bin/env bash
# Checks a picture of the setup window's client area: its size, the window's two colours, and
# that every caption area and the logo hold something drawn (not pixel by pixel: fonts and
# themes differ between hosts).   tools/check-screenshot.sh FILE.png
set -euo pipefail
png=$1
fail=0
# ImageMagick's own tools, also where a wrapper of the same name stands earlier on PATH.
convert=/usr/bin/convert; [ -x "$convert" ] || convert=convert

read -r w h < <(identify -format '%w %h\n' "$png")
if [ "$w" != 467 ] || [ "$h" != 316 ]; then
    echo "client area is ${w}x${h}, expected 467x316"; fail=1
fi

pixel() { "$convert" "$png" -format "%[fx:int(255*u.p{$1,$2}.r)],%[fx:int(255*u.p{$1,$2}.g)],%[fx:int(255*u.p{$1,$2}.b)]" info:; }
expect_colour() {  # name x y r,g,b
    local got; got=$(pixel "$2" "$3")
    [ "$got" = "$4" ] || { echo "$1 at $2,$3 is $got, expected $4"; fail=1; }
}
expect_colour "window background" 455 150 248,248,237
expect_colour "header panel" 320 58 255,255,255

# Regions that hold text or a picture: name x y width height.
regions=(
    "Label1:32:14:275:35"
    "Image2:334:2:105:61"
    "Radio1:50:88:60:17"
    "Radio2:50:112:60:17"
    "lbl_ThongBao:32:179:100:13"
    "Edit_AppPath:156:180:120:13"
    "Label5:32:241:170:13"
    "bt_NangCap:270:276:61:15"
    "bt_Dong:366:276:61:15"
)
for r in "${regions[@]}"; do
    IFS=: read -r name x y rw rh <<<"$r"
    sd=$("$convert" "$png" -crop "${rw}x${rh}+${x}+${y}" +repage -colorspace Gray -format '%[fx:standard_deviation]' info:)
    if awk -v s="$sd" 'BEGIN { exit !(s < 0.02) }'; then
        echo "$name area ($x,$y ${rw}x${rh}) is blank"; fail=1
    fi
done
[ "$fail" = 0 ] && echo "Screenshot checks passed: $png"
exit "$fail"
