#!/bin/bash
# Draws every picture the player ships: the two skins (images, description files, previews), the
# program icon, the playlist's scroll-bar bitmap, the logo window's picture and the local banner page.
#
#   tools/skin/draw_skins.sh [--mockups DIR]
#
# Needs ImageMagick 6 and the WenQuanYi Micro Hei font (fonts-wqy-microhei). Running it twice gives
# byte-identical files: PNG time chunks are left out and ImageMagick runs single-threaded.
# --mockups also writes, for each skin, the main window (961 x 674, the size the layout has at
# "MS Shell Dlg" 9 pt under Wine) composed from the images at their layout positions, and a contact sheet.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
MOCKUPS=
if [ "${1:-}" = --mockups ]; then MOCKUPS=$(mkdir -p "$2" && cd "$2" && pwd); fi

FONT=/usr/share/fonts/truetype/wqy/wqy-microhei.ttc
[ -f "$FONT" ] || { echo "draw_skins: missing $FONT (apt-get install fonts-wqy-microhei)" >&2; exit 1; }
export MAGICK_THREAD_LIMIT=1
export MAGICK_TEMPORARY_PATH=${TMPDIR:-/tmp}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

# Glyphs are drawn at S times their size and reduced by area averaging: clean anti-aliased edges.
S=4
# PNGs carry no gamma, chromaticity or profile chunks: the player loads them with embedded colour
# management on, and the pixels must come out as drawn.
PNGOUT=(-strip -define png:exclude-chunks=date,time,tIME,gAMA,cHRM,bKGD,iCCP,sRGB -define png:compression-level=9 +set date:create +set date:modify)

# ---------------------------------------------------------------------------------------------------
# Small drawing helpers. Coordinates in draw commands are in final pixels (they are scaled by S).

# canvas W H DRAW OUT: transparent W x H picture drawn with the MVG commands DRAW.
# Parts separated by "||" are drawn one after the other (ImageMagick keeps filling paths after
# "fill none" once a fill colour was set earlier in the same draw).
canvas() {
  local w=$1 h=$2 draw=$3 out=$4 part draws=()
  while [ -n "$draw" ]; do
    part=${draw%%||*}; draws+=(-draw "scale $S,$S $part")
    [ "$part" = "$draw" ] && break
    draw=${draw#*||}
  done
  convert -size $((w * S))x$((h * S)) xc:none "${draws[@]}" -filter Box -resize "${w}x${h}!" "$out"
}

# shadow IN OUT OPACITY BLUR DY [COLOUR]: puts a soft shadow of the picture's shape beneath it.
shadow() {
  local in=$1 out=$2 op=$3 blur=$4 dy=$5 col=${6:-#4a2626}
  convert "$in" \( +clone -alpha extract -blur 0x$blur +level 0,$op% -background "$col" -alpha shape \) \
    -geometry +0+$dy -compose DstOver -composite "$out"
}

# over IN BACK OUT: flattens the picture onto a solid colour (for faces shown on white pages).
over() { convert "$1" -background "$2" -alpha remove -alpha on "$3"; }

# text OUT TEXT SIZE COLOUR [bold]: a line of text, trimmed to its ink, on transparency.
text() {
  local out=$1 t=$2 size=$3 col=$4 weight=${5:-}
  local stroke=()
  [ "$weight" = bold ] && stroke=(-stroke "$col" -strokewidth 0.6)
  convert -background none -fill "$col" "${stroke[@]}" -font "$FONT" -pointsize "$size" label:"$t" \
    -trim +repage "$out"
}

save() { convert "$1" "${PNGOUT[@]}" "PNG32:$2"; }

# ---------------------------------------------------------------------------------------------------
# One skin. The palette comes in through these variables:
#   HEAD        header colour (white text and glyphs must read on it)
#   HEAD_DEEP   the bottom band, the lower end of the frame lines, small accents
#   TINT        the settings dialog's navigation column as "setback" shows it
#   ACCENT      glyph colour on white (list header buttons, settings icons, page buttons)
#   DECO1 DECO2 colours of the soft shapes in the header's right part
#   POS_TINT    the warm white of the played part of the progress bar
#   NAV_*       navigation column of the settings dialog: gradient, right edge, selected entry
#   EMBLEM_HEART the heart of the logo
draw_skin() {
  local name=$1 dir="$ROOT/skin/$1" t="$WORK/$1"
  mkdir -p "$dir" "$t"
  rm -f "$dir"/*.png

  # -- backtop: the main background. The window stretches it over its whole client area, while
  # buttons, labels and sliders paint its top-left corner behind themselves: so the header is one flat
  # colour over the whole left column and along the top rows, and decoration stays to the right,
  # between row 34 and the end of the header.
  local W=961 H=644
  # Below the header only thin lines of it show, between and beside the playlist and the site view
  # (at any window size, as the picture is stretched): they stay in the header's colour and frame
  # the two views.
  convert -size ${W}x${H} xc:"$HEAD" \
    \( -size ${W}x$((H - 140)) gradient:"$HEAD"-"$HEAD_DEEP" \) -geometry +0+140 -composite \
    "$t/base.png"
  # soft shapes: large translucent circles and a gentle wave, right of the left column
  convert -size $((W * 2))x$((160 * 2)) xc:none -draw "scale 2,2
      fill $DECO1 fill-opacity 0.16 circle 420,70 420,26
      fill $DECO2 fill-opacity 0.14 circle 470,110 470,78
      fill $DECO1 fill-opacity 0.10 circle 610,50 610,30
      fill $DECO2 fill-opacity 0.12 circle 905,118 905,70
      fill $DECO1 fill-opacity 0.12 circle 860,60 860,40
      fill $DECO1 fill-opacity 0.10 circle 700,128 700,96" -draw "scale 2,2
      fill none stroke $DECO1 stroke-opacity 0.30 stroke-width 1.4
      path 'M 330,120 C 430,92 520,140 620,116 S 800,84 950,112'
      stroke-opacity 0.18 path 'M 330,128 C 440,104 540,150 640,124 S 820,96 950,122'" \
    -filter Box -resize 50% "$t/deco.png"
  # nothing of the decoration above row 34 nor left of x = 310
  convert "$t/deco.png" \( +clone -alpha extract \) \
    \( -size ${W}x160 xc:black -fill white -draw "rectangle 316,40 $W,160" -blur 0x5 \) \
    \( -clone 1 -clone 2 -compose Multiply -composite \) -delete 1,2 -alpha off -compose CopyOpacity -composite \
    "$t/deco_masked.png"
  convert "$t/base.png" "$t/deco_masked.png" -geometry +0+0 -compose Over -composite "$t/backtop.png"
  save "$t/backtop.png" "$dir/backtop.png"

  # -- bottom band: tiled along the bottom edge, white text of the feedback link and text strip on it
  convert -size 64x28 gradient:"$HEAD"-"$HEAD_DEEP" \
    -fill "rgba(255,255,255,0.35)" -draw "line 0,0 63,0" \
    -fill "rgba(255,255,255,0.10)" -draw "line 0,1 63,1" "$t/bu.png"
  save "$t/bu.png" "$dir/backbottomu.png"
  convert -size 64x21 gradient:"$HEAD"-"$HEAD_DEEP" \
    -fill "rgba(255,255,255,0.30)" -draw "line 0,0 63,0" "$t/bd.png"
  save "$t/bd.png" "$dir/backbottomd.png"

  # -- logo (its width places the title) and title
  draw_emblem 48 "$t/logo.png"
  save "$t/logo.png" "$dir/logo.png"
  text "$t/title_text.png" "胎教音乐播放器" 17 white bold
  convert "$t/title_text.png" -bordercolor none -border 3x4 "$t/title_pad.png"
  shadow "$t/title_pad.png" "$t/title.png" 35 1.2 1
  save "$t/title.png" "$dir/title.png"

  # -- the tab behind the title buttons (same fill as the header, so the buttons sit in it seamlessly)
  convert -size $((117 * S))x$((30 * S)) xc:none -draw "scale $S,$S
      fill $HEAD stroke none roundrectangle 0,-10 116.5,25.5 9,9" \
    -filter Box -resize 117x30! "$t/menu_body.png"
  convert -size $((117 * S))x$((30 * S)) xc:none -draw "scale $S,$S
      fill none stroke rgba(255,255,255,0.38) stroke-width 1 roundrectangle 0.5,-10 116.5,25 9,9" \
    -filter Box -resize 117x30! "$t/menu_line.png"
  shadow "$t/menu_body.png" "$t/menu_sh.png" 22 1.5 2
  convert "$t/menu_sh.png" "$t/menu_line.png" -compose Over -composite "$t/menu.png"
  save "$t/menu.png" "$dir/menu.png"

  # -- separator between title buttons, also drawn into the faces so it shows either way
  convert -size 1x20 gradient:"rgba(255,255,255,0)"-"rgba(255,255,255,0.45)" \
    \( -size 1x20 gradient:"rgba(255,255,255,0.45)"-"rgba(255,255,255,0)" \) -append \
    -resize 1x20! "$t/sp1.png"
  convert -size 2x20 xc:none \( -size 1x14 xc:"rgba(0,0,0,0.07)" \) -geometry +0+3 -composite \
    \( "$t/sp1.png" -crop 1x14+0+3 +repage \) -geometry +1+3 -composite "$t/spilter.png"
  save "$t/spilter.png" "$dir/spilter.png"

  # -- title buttons: white glyphs, 20 pixels high so the close face also fits the small windows'
  # 30-pixel title strips
  canvas 26 20 "fill none stroke white stroke-width 1.4 stroke-linecap round
      line 8,6.5 18,6.5 line 8,10 18,10 line 8,13.5 18,13.5
      fill $HEAD stroke white stroke-width 1.2 circle 11,6.5 12.6,6.5 circle 15.5,10 17.1,10 circle 10,13.5 11.6,13.5" \
    "$t/g_setting.png"
  canvas 26 20 "fill none stroke white stroke-width 1.6 stroke-linecap round line 8.5,13 17.5,13" "$t/g_min.png"
  canvas 26 20 "fill none stroke white stroke-width 1.4 roundrectangle 8.5,5.5 17.5,14 2,2" "$t/g_max.png"
  canvas 24 20 "fill none stroke white stroke-width 1.6 stroke-linecap round line 8,6 16,14 line 16,6 8,14" "$t/g_close.png"
  local g
  for g in setting min max; do
    shadow "$t/g_$g.png" "$t/s_$g.png" 30 0.8 1
    convert "$t/s_$g.png" "$t/spilter.png" -geometry +24+0 -compose Over -composite "$t/$g.png"
    save "$t/$g.png" "$dir/$g.png"
  done
  shadow "$t/g_close.png" "$t/close.png" 30 0.8 1
  save "$t/close.png" "$dir/close.png"

  # -- transport: a white play disc, translucent discs for previous and next
  canvas 30 30 "fill white stroke none circle 15,14.5 15,2" "$t/disc.png"
  shadow "$t/disc.png" "$t/disc_s.png" 35 1.3 1
  canvas 30 30 "fill $HEAD stroke $HEAD stroke-width 1.4 stroke-linejoin round
      polygon 12.6,9.8 12.6,19.2 20.6,14.5" "$t/tri.png"
  convert "$t/disc_s.png" "$t/tri.png" -compose Over -composite "$t/play.png"
  save "$t/play.png" "$dir/play.png"
  canvas 30 30 "fill $HEAD stroke $HEAD stroke-width 1.2 stroke-linejoin round
      roundrectangle 11.2,9.6 13.6,19.4 0.8,0.8 roundrectangle 16.4,9.6 18.8,19.4 0.8,0.8" "$t/bars.png"
  convert "$t/disc_s.png" "$t/bars.png" -compose Over -composite "$t/playpasue.png"
  save "$t/playpasue.png" "$dir/playpasue.png"
  canvas 26 26 "fill rgba(255,255,255,0.22) stroke rgba(255,255,255,0.55) stroke-width 1 circle 13,12.5 13,2
      fill white stroke white stroke-width 1 stroke-linejoin round stroke-linecap round
      polygon 17,8.5 17,16.5 11.2,12.5 line 9,8.6 9,16.4" "$t/g_prev.png"
  shadow "$t/g_prev.png" "$t/playprev.png" 22 1 1
  save "$t/playprev.png" "$dir/playprev.png"
  canvas 26 26 "fill rgba(255,255,255,0.22) stroke rgba(255,255,255,0.55) stroke-width 1 circle 13,12.5 13,2
      fill white stroke white stroke-width 1 stroke-linejoin round stroke-linecap round
      polygon 9,8.5 9,16.5 14.8,12.5 line 17,8.6 17,16.4" "$t/g_next.png"
  shadow "$t/g_next.png" "$t/playnext.png" 22 1 1
  save "$t/playnext.png" "$dir/playnext.png"

  # -- speaker beside the volume slider: the slider lies 35 to 45 rows below the picture's top
  canvas 36 48 "fill white stroke white stroke-width 0.6 stroke-linejoin round
      polygon 17,38 19.5,38 23.5,34.5 23.5,45.5 19.5,42 17,42 ||
      fill none stroke white stroke-width 1.2 stroke-linecap round
      path 'M 26,37.5 A 3.2,3.2 0 0 1 26,42.5' path 'M 28.2,35.6 A 6,6 0 0 1 28.2,44.4'" "$t/g_volume.png"
  shadow "$t/g_volume.png" "$t/volume.png" 25 0.8 1
  save "$t/volume.png" "$dir/volume.png"

  # -- skin button: a little palette
  canvas 16 16 "fill white stroke none path 'M 8,1.6 C 12.2,1.6 14.6,4.4 14.6,7.4 C 14.6,9.6 13,10.2 11.6,10.2
        C 10.4,10.2 10,11 10.4,12 C 10.9,13.2 10.2,14.4 8,14.4 C 4.4,14.4 1.4,11.6 1.4,8 C 1.4,4.4 4.4,1.6 8,1.6 Z'
      fill $HEAD circle 5,6.6 6.1,6.6 fill $DECO2 circle 8.4,4.6 9.5,4.6 fill $HEAD_DEEP circle 11.4,6.6 12.4,6.6
      fill $ACCENT circle 5.2,10.2 6.3,10.2" "$t/g_skin.png"
  shadow "$t/g_skin.png" "$t/skin.png" 28 0.8 1
  save "$t/skin.png" "$dir/skin.png"

  # -- play modes (22 x 18): in order, repeat one, repeat list, random
  local pm="fill none stroke white stroke-width 1.5 stroke-linecap round stroke-linejoin round"
  canvas 22 18 "$pm line 4,5 13,5 line 4,9 13,9 line 4,13 17,13 polyline 14.5,10.5 17.5,13 14.5,15.5" "$t/g_sxbf.png"
  canvas 22 18 "$pm path 'M 6,12.5 L 5.5,12.5 A 2.5,2.5 0 0 1 3,10 L 3,8 A 2.5,2.5 0 0 1 5.5,5.5 L 15,5.5'
      polyline 13,3.5 15.2,5.5 13,7.5
      path 'M 16,5.5 L 16.5,5.5 A 2.5,2.5 0 0 1 19,8 L 19,10 A 2.5,2.5 0 0 1 16.5,12.5 L 14,12.5'
      stroke-width 1.3 polyline 9.6,10.4 11,9.4 11,15" "$t/g_dqxh.png"
  canvas 22 18 "$pm path 'M 7,12.5 L 5.5,12.5 A 2.5,2.5 0 0 1 3,10 L 3,8 A 2.5,2.5 0 0 1 5.5,5.5 L 15.5,5.5'
      polyline 13.3,3.5 15.5,5.5 13.3,7.5
      path 'M 15,5.5 L 16.5,5.5 A 2.5,2.5 0 0 1 19,8 L 19,10 A 2.5,2.5 0 0 1 16.5,12.5 L 6.5,12.5'
      polyline 8.7,10.5 6.5,12.5 8.7,14.5" "$t/g_lbxh.png"
  canvas 22 18 "$pm path 'M 3,5 L 6,5 C 10,5 11,13 15,13 L 18.5,13' polyline 16.3,10.8 18.5,13 16.3,15.2
      path 'M 3,13 L 6,13 C 8,13 9,11.6 9.8,10.2' path 'M 12.2,7.8 C 13,6.4 14,5 15.5,5 L 18.5,5'
      polyline 16.3,2.8 18.5,5 16.3,7.2" "$t/g_sjbf.png"
  for g in sxbf dqxh lbxh sjbf; do
    shadow "$t/g_$g.png" "$t/$g.png" 28 0.8 1
    save "$t/$g.png" "$dir/$g.png"
  done

  # -- progress and volume: empty track, downloaded part and played part (each cut to its width)
  local sw=281 shh=10
  canvas $sw $shh "fill rgba(255,255,255,0.30) stroke none roundrectangle 0.5,3 280.5,7 2,2" "$t/playrange.png"
  canvas $sw $shh "fill rgba(255,255,255,0.55) stroke none roundrectangle 0.5,3 280.5,7 2,2" "$t/download.png"
  canvas $sw $shh "fill white stroke none roundrectangle 0.5,3 280.5,7 2,2" "$t/pp.png"
  convert "$t/pp.png" -fill "$POS_TINT" -colorize 18 "$t/playpostion.png"
  for g in playrange download playpostion; do save "$t/$g.png" "$dir/$g.png"; done

  # -- playlist tree buttons (18 x 18): song rows show them on the coloured current/hover rows, the
  # list header on white
  canvas 18 18 "fill white stroke none circle 9,9 9,1.2
      fill $HEAD stroke $HEAD stroke-width 1 stroke-linejoin round polygon 7.4,5.6 7.4,12.4 12.6,9" "$t/g_playing.png"
  shadow "$t/g_playing.png" "$t/playing.png" 18 0.6 0
  canvas 18 18 "fill white stroke none circle 9,9 9,1.2 ||
      fill none stroke #8c8486 stroke-width 1.5 stroke-linecap round line 6.4,6.4 11.6,11.6 line 11.6,6.4 6.4,11.6" "$t/g_delete.png"
  shadow "$t/g_delete.png" "$t/delete.png" 18 0.6 0
  canvas 18 18 "fill none stroke $ACCENT stroke-width 1.6 stroke-linecap round
      circle 7.8,7.8 7.8,3.2 line 11.3,11.3 14.8,14.8" "$t/serach.png"
  canvas 18 18 "fill none stroke $ACCENT stroke-width 1.4 stroke-linecap round stroke-linejoin round
      line 3.5,5 14.5,5 path 'M 7,5 L 7,3.2 L 11,3.2 L 11,5'
      path 'M 5,5 L 5.8,14.6 L 12.2,14.6 L 13,5' line 7.8,7.6 7.8,12.2 line 10.2,7.6 10.2,12.2" "$t/deleteall.png"
  for g in playing delete serach deleteall; do save "$t/$g.png" "$dir/$g.png"; done

  # -- feedback link icon and size grip
  canvas 16 16 "fill white stroke none path 'M 3.5,2.5 L 12.5,2.5 A 2,2 0 0 1 14.5,4.5 L 14.5,9.5 A 2,2 0 0 1 12.5,11.5
        L 7.5,11.5 L 4.5,14 L 4.8,11.5 L 3.5,11.5 A 2,2 0 0 1 1.5,9.5 L 1.5,4.5 A 2,2 0 0 1 3.5,2.5 Z'
      fill $HEAD_DEEP circle 5,7 5.9,7 circle 8,7 8.9,7 circle 11,7 11.9,7" "$t/suggest.png"
  save "$t/suggest.png" "$dir/suggest.png"
  canvas 12 12 "fill rgba(255,255,255,0.75) stroke none
      circle 9.5,9.5 10.3,9.5 circle 6.5,9.5 7.3,9.5 circle 9.5,6.5 10.3,6.5
      circle 3.5,9.5 4.3,9.5 circle 6.5,6.5 7.3,6.5 circle 9.5,3.5 10.3,3.5" "$t/resizing.png"
  save "$t/resizing.png" "$dir/resizing.png"

  # -- settings dialog: its size (setback), navigation column, page icons, highlight, page buttons
  local SW=560 SH=400 NW=165 NH=368
  convert -size ${SW}x$SH xc:white -fill "$HEAD" -draw "rectangle 0,0 $SW,29" \
    -fill "$TINT" -draw "rectangle 0,30 $((NW - 1)),$SH" "$t/setback.png"
  save "$t/setback.png" "$dir/setback.png"
  convert -size ${NW}x$NH gradient:"$NAV_TOP"-"$NAV_BOTTOM" "$t/setleftbackd.png"
  save "$t/setleftbackd.png" "$dir/setleftbackd.png"
  convert -size ${NW}x$NH xc:none \
    -fill "rgba(0,0,0,0.05)" -draw "line $((NW - 3)),0 $((NW - 3)),$NH" \
    -fill "rgba(0,0,0,0.08)" -draw "line $((NW - 2)),0 $((NW - 2)),$NH" \
    -fill "$NAV_EDGE" -draw "line $((NW - 1)),0 $((NW - 1)),$NH" \
    -fill "rgba(255,255,255,0.55)" -draw "line 0,0 $((NW - 2)),0" "$t/setleftbacku.png"
  save "$t/setleftbacku.png" "$dir/setleftbacku.png"
  convert -size 4x50 xc:"$HEAD" "$t/setbtnbackl.png"
  save "$t/setbtnbackl.png" "$dir/setbtnbackl.png"
  convert -size 161x49 xc:white \( -size 49x161 gradient:"rgba(255,255,255,0)"-"$NAV_SEL" -rotate 90 \) \
    -compose Over -composite -alpha on "$t/setbtnbackr.png"
  save "$t/setbtnbackr.png" "$dir/setbtnbackr.png"
  local ic="fill none stroke $ACCENT stroke-width 1.5 stroke-linecap round stroke-linejoin round"
  canvas 18 18 "$ic line 3,4.5 15,4.5 line 3,9 15,9 line 3,13.5 15,13.5
      fill white circle 6,4.5 7.6,4.5 circle 12,9 13.6,9 circle 8,13.5 9.6,13.5" "$t/setroutine.png"
  canvas 18 18 "$ic fill white path 'M 5,2.5 L 5,14.5 L 8,11.6 L 10.4,16 L 12.3,15 L 10,10.8 L 14,10.6 Z'" "$t/setoperation.png"
  canvas 18 18 "$ic line 9,2.5 9,11 polyline 5.5,8 9,11.5 12.5,8 path 'M 2.8,11 L 2.8,14.5 L 15.2,14.5 L 15.2,11'" "$t/setdownload.png"
  canvas 18 18 "$ic path 'M 14.2,7.2 A 5.6,5.6 0 0 0 3.8,6.4' polyline 14.6,3.2 14.4,7.4 10.4,7.2
      path 'M 3.8,10.8 A 5.6,5.6 0 0 0 14.2,11.6' polyline 3.4,14.8 3.6,10.6 7.6,10.8" "$t/setappupdate.png"
  for g in setroutine setoperation setdownload setappupdate; do save "$t/$g.png" "$dir/$g.png"; done
  # page buttons stand on white pages but their own backdrop is the header: flatten them onto white
  canvas 96 28 "fill $HEAD stroke none roundrectangle 0.5,0.5 95.5,27.5 5,5" "$t/b1.png"
  convert "$t/b1.png" \( -size 96x28 gradient:"rgba(255,255,255,0.18)"-"rgba(0,0,0,0.06)" \) \
    -compose Atop -composite "$t/b1g.png"
  text "$t/b1t.png" "检查更新" 13 white
  convert "$t/b1g.png" "$t/b1t.png" -gravity center -geometry +0+0 -compose Over -composite "$t/b1c.png"
  over "$t/b1c.png" white "$t/setcheckupdate.png"
  save "$t/setcheckupdate.png" "$dir/setcheckupdate.png"
  canvas 64 24 "fill white stroke $ACCENT stroke-width 1 roundrectangle 0.5,0.5 63.5,23.5 5,5" "$t/b2.png"
  text "$t/b2t.png" "浏览…" 12 "$ACCENT"
  convert "$t/b2.png" "$t/b2t.png" -gravity center -geometry +0+0 -compose Over -composite "$t/b2c.png"
  over "$t/b2c.png" white "$t/setexplorer.png"
  save "$t/setexplorer.png" "$dir/setexplorer.png"

  # The main window's colour key RGB(255, 255, 254) would punch holes where it appears opaque.
  local f
  for f in "$dir"/*.png; do
    if [ "$(convert "$f" -alpha off -fill black +opaque "#fffffe" -format '%[max]' info:)" != 0 ]; then
      echo "draw_skins: $f has pixels in the colour key RGB(255,255,254)" >&2
      exit 1
    fi
  done

  write_description "$name"
}

# The emblem: a white disc with a heart and a note; used as the skin's "logo" and the logo window.
draw_emblem() {
  local size=$1 out=$2 t="$WORK/emblem$1"
  local r=$(echo "$size" | awk '{printf "%.2f", $1 / 2 - 2.5}') c=$(echo "$size" | awk '{printf "%.2f", $1 / 2}')
  canvas "$size" "$size" "fill white stroke none circle $c,$(awk "BEGIN{print $c - 1}") $c,$(awk "BEGIN{print $c - 1 - $r}")" "$t.disc.png"
  shadow "$t.disc.png" "$t.discs.png" 35 1.6 1
  # the heart and note are drawn on a 48 grid and scaled
  local k=$(awk "BEGIN{print $size / 48}")
  convert -size $((size * S))x$((size * S)) xc:none -draw "scale $(awk "BEGIN{print $S * $k}"),$(awk "BEGIN{print $S * $k}")
      fill $EMBLEM_HEART stroke none
      path 'M 24,37 C 14,30 9.5,24.5 9.5,19 C 9.5,14.4 13,11.2 17,11.2 C 20,11.2 22.6,13 24,15.6
            C 25.4,13 28,11.2 31,11.2 C 35,11.2 38.5,14.4 38.5,19 C 38.5,24.5 34,30 24,37 Z'
      fill white stroke white stroke-width 1 stroke-linejoin round
      ellipse 21,27.2 3.1,2.4 0,360 line 23.6,27 23.6,16.6
      path 'M 23.6,16.6 C 26,17.4 28.4,18 28.6,21.2 C 27.6,19.8 26,19.6 23.6,19.6'" \
    -filter Box -resize "${size}x${size}!" "$t.heart.png"
  convert "$t.discs.png" "$t.heart.png" -compose Over -composite "$out"
}

write_description() {
  local name=$1 f="$ROOT/skin/$1.xml"
  {
    printf '<?xml version="1.0" encoding="utf-8"?>\r\n<Skin>\r\n'
    printf '  <MainDlg>\r\n'
    local n
    for n in backtop backbottomu backbottomd logo title menu volume resizing spilter \
             playprev play playpasue playnext setting min max close skin sxbf dqxh lbxh sjbf \
             playpostion playrange download playing delete serach deleteall; do
      printf '    <img>%s\\%s.png</img>\r\n' "$name" "$n"
    done
    printf '  </MainDlg>\r\n  <Setting>\r\n'
    for n in setback setleftbackd setleftbacku setroutine setoperation setdownload setappupdate \
             setbtnbackl setbtnbackr setcheckupdate setexplorer; do
      printf '    <img>%s\\%s.png</img>\r\n' "$name" "$n"
    done
    printf '  </Setting>\r\n  <AdDlg>\r\n'
    printf '    <img>%s\\suggest.png</img>\r\n' "$name"
    printf '  </AdDlg>\r\n</Skin>\r\n'
  } > "$f"
}


# ---------------------------------------------------------------------------------------------------
# The main window composed from a skin's images at the positions its layout gives them (client size
# 961 x 674 under Wine; the top 30 rows are the colour-keyed strip, shown here as desktop).
# OUT gets the window; the skin's preview is made from it.
mockup() {  # mockup NAME OUT [STRIP-COLOUR]
  local name=$1 out=$2 d="$ROOT/skin/$1" t="$WORK/mock_$1"
  mkdir -p "$t"
  local W=961 H=674 B=28
  local args=()
  # backdrop piece of a control: the top-left corner of backtop, as buttons and sliders paint it
  piece() { convert "$d/backtop.png" -crop "$1x$2+0+${3:-0}" +repage "$t/piece_$1x$2_${3:-0}.png"; echo "$t/piece_$1x$2_${3:-0}.png"; }
  face() {  # face X Y NAME
    local wh; wh=$(identify -format '%w %h' "$d/$3.png"); set -- "$1" "$2" "$3" $wh
    convert "$(piece "$4" "$5")" "$d/$3.png" -compose Over -composite "$t/btn_$3.png"
    args+=("$t/btn_$3.png" -geometry "+$1+$2" -composite)
  }
  label() {  # label X Y W TEXT [right]
    local p; p=$(piece "$3" 14 30)
    local g=West; [ "${5:-}" = right ] && g=East
    convert "$p" -gravity $g -font "$FONT" -pointsize 9 -density 96 -fill white -annotate +0+0 "$4" "$t/lbl_$1_$2.png"
    args+=("$t/lbl_$1_$2.png" -geometry "+$1+$2" -composite)
  }
  slider() {  # slider X Y W FILL [DOWNLOAD]
    convert "$(piece "$3" 10)" "$d/playrange.png" -compose Over -composite \
      \( "$d/download.png" -crop "${5:-0}x10+0+0" +repage \) -compose Over -composite \
      \( "$d/playpostion.png" -crop "$4x10+0+0" +repage \) -compose Over -composite \
      -crop "$3x10+0+0" +repage "$t/sl_$1.png"
    args+=("$t/sl_$1.png" -geometry "+$1+$2" -composite)
  }
  local mw vw vh; mw=$(identify -format %w "$d/menu.png")
  vw=$(identify -format %w "$d/volume.png"); vh=$(identify -format %h "$d/volume.png")
  convert -size ${W}x$H xc:"${3:-#6f7f8f}" \
    \( "$d/backtop.png" -resize "${W}x${H}!" \) -geometry +0+30 -composite "$t/win.png"
  # bottom band
  local x=0; while [ $x -lt $W ]; do args+=("$d/backbottomu.png" -geometry "+$x+$((H - B))" -composite); x=$((x + 64)); done
  args+=("$d/title.png" -geometry +60+35 -composite)
  args+=("$d/menu.png" -geometry "+$((W - mw - 5))+30" -composite)
  args+=("$d/resizing.png" -geometry "+$((W - 12))+$((H - 12))" -composite)
  args+=("$d/volume.png" -geometry "+194+$((103 + (26 - vh) / 2))" -composite)
  face 849 30 setting; face 875 30 min; face 901 30 max; face 927 30 close
  face 75 103 playprev; face 121 102 playpasue; face 168 103 playnext; face 56 123 skin; face 2 107 sxbf
  label 14 68 238 "正在播放：摇篮曲（钢琴版）"; label 11 95 38 "01:26"; label 259 95 33 "04:12" right
  slider 11 86 281 96 170; slider 231 128 60 48
  # playlist tree (white rows 28 high; current row and hover row in the tree's own colours)
  convert -size 294x$((H - B - 159)) xc:white -font "$FONT" -pointsize 9 -density 96 \
    -fill "#696969" -draw "polygon 7,12 19,12 13,18" -fill "#002e66" -annotate +30+19 "默认列表" \
    -fill "rgb(231,118,106)" -draw "rectangle 0,56 280,83" -fill "rgb(169,197,222)" -draw "rectangle 0,112 280,139" \
    -fill "#515151" -annotate +15+47 "01 晨光小夜曲" -annotate +215+47 "03:42" \
    -annotate +15+75 "02 摇篮曲（钢琴版）" -annotate +15+103 "03 月光下的河流" -annotate +215+103 "05:06" \
    -annotate +15+131 "04 妈妈的心跳" -annotate +15+159 "05 林间清晨" -annotate +215+159 "04:31" \
    -annotate +15+187 "06 小星星变奏曲" -annotate +215+187 "03:58" \
    "$d/serach.png" -geometry +225+5 -composite "$d/deleteall.png" -geometry +259+5 -composite \
    "$d/playing.png" -geometry +235+61 -composite "$d/delete.png" -geometry +259+61 -composite \
    "$d/playing.png" -geometry +235+117 -composite "$d/delete.png" -geometry +259+117 -composite \
    "$t/tree.png"
  if [ -f "$WORK/scroll.png" ]; then
    convert "$t/tree.png" \( "$WORK/scroll.png" -crop 13x13+0+0 +repage \) -geometry +281+0 -composite \
      \( "$WORK/scroll.png" -crop 13x13+39+0 +repage -write mpr:track +delete \) \
      \( -size 13x$((H - B - 159 - 26)) tile:mpr:track \) -geometry +281+13 -composite \
      \( "$WORK/scroll.png" -crop 13x13+26+0 +repage \) -geometry +281+13 -composite \
      \( "$WORK/scroll.png" -crop 13x13+13+0 +repage \) -geometry +281+$((H - B - 159 - 13)) -composite \
      "$t/tree.png"
  fi
  args+=("$t/tree.png" -geometry +0+159 -composite)
  # the site view and the banner page as a browser would show them
  convert -size 663x$((H - B - 159)) xc:white -font "$FONT" -pointsize 11 -density 96 -fill "#b9b0b0" \
    -gravity center -annotate +0+0 "（音乐网站）" "$t/site.png"
  args+=("$t/site.png" -geometry +296+159 -composite)
  [ -f "$WORK/banner.png" ] && args+=("$WORK/banner.png" -geometry +308+75 -composite)
  # feedback link and text strip on the bottom band
  convert -size 441x26 xc:none "$d/suggest.png" -geometry +16+4 -composite \
    -font "$FONT" -pointsize 10.5 -density 96 -fill white -stroke white -strokewidth 0.3 \
    -annotate "+$((16 + 16 + 4))+16" "意见反馈" "$t/sugg.png"
  args+=("$t/sugg.png" -geometry "+5+$((H - 26))" -composite)
  convert -size 444x26 xc:none -font "$FONT" -pointsize 9 -density 96 -fill white -gravity NorthEast \
    -annotate +0+7 "每天听一会儿，和宝宝一起放松心情" "$t/ad.png"
  args+=("$t/ad.png" -geometry "+$((W - 444 - 60))+$((H - 26))" -composite)
  [ -f "$ROOT/dist/logo.png" ] && args+=("$ROOT/dist/logo.png" -geometry +5+20 -composite)
  convert "$t/win.png" "${args[@]}" "$out"
}

# The local banner page (dist/AD/default.htm) as a browser shows it, for the mock-up.
banner_picture() {
  convert -size 640x60 xc:"#fff6f3" -fill "#f3d9d4" -draw "rectangle 0,59 640,60" \
    -fill "#e0787c" -draw "path 'M 40,44 C 28,36 22,30 22,23 C 22,17.5 26,14 30.5,14 C 34,14 37,16 38.5,19
        C 40,16 43,14 46.5,14 C 51,14 55,17.5 55,23 C 55,30 49,36 40,44 Z'" \
    -font "$FONT" -density 96 -fill "#c7676c" -pointsize 12.5 -annotate +72+27 "宝宝在听，妈妈在笑" \
    -fill "#8f7f7f" -pointsize 9 -annotate +72+46 "每天二十分钟的胎教音乐，陪伴你走过孕期的每一天" \
    -fill "#c7676c" -pointsize 9 -annotate +548+36 "开始聆听 ›" "$WORK/banner.png"
}

# Preview for the skin chooser: the window's left column, the colour-keyed strip painted in the
# header colour so the logo shows whole, reduced to 125 x 80.
preview() {
  local name=$1 t="$WORK/$1.mock.png" head
  head=$(convert "$ROOT/skin/$1/backtop.png" -format '%[pixel:p{2,2}]' info:)
  mockup "$name" "$WORK/$1.strip.png" "$head"
  convert "$WORK/$1.strip.png" -crop 300x192+0+12 +repage -filter Lanczos -resize '125x80!' "$WORK/$1.prev.png"
  save "$WORK/$1.prev.png" "$ROOT/skin/$1.png"
  if [ -n "$MOCKUPS" ]; then mockup "$name" "$MOCKUPS/$1-window.png"; fi
}

# ---------------------------------------------------------------------------------------------------
# Files outside the skins (they do not change with the skin, so they use the default palette).

# Scroll-bar bitmap of the playlist: 9 x 3 cells of 13 x 13, 8 bits per pixel. Columns: up, down,
# thumb, track of the vertical bar; left, right, thumb, track of the horizontal bar; corner. Rows:
# normal, under the mouse, pressed. A thumb is drawn from its first and last 3 rows (columns for the
# horizontal bar) with the middle tiled, so its middle rows are all alike.
scroll_bitmap() {
  local t="$WORK/scroll" out="$ROOT/player/app/res/scrollbar149.bmp"
  mkdir -p "$t" "$(dirname "$out")"
  # neutral warm greys: the bitmap is built into the program and serves every skin
  local track="#f6f3f2" line="#e9e3e1"
  local row bg fg th
  local cells=()
  for row in 0 1 2; do
    case $row in
      0) bg=$track fg="#b3a7a6" th="#d9cfcd" ;;
      1) bg="#ece6e4" fg="#8f8180" th="#c4b7b5" ;;
      2) bg="#e2dad8" fg="#756665" th="#ad9e9c" ;;
    esac
    local base="fill $bg stroke none rectangle 0,0 13,13 fill $line rectangle 0,0 0.6,13"
    local chev="fill none stroke $fg stroke-width 1.5 stroke-linecap round stroke-linejoin round"
    canvas 13 13 "$base || $chev polyline 3.8,7.8 6.5,5 9.2,7.8" "$t/c0_$row.png"
    canvas 13 13 "$base || $chev polyline 3.8,5.2 6.5,8 9.2,5.2" "$t/c1_$row.png"
    canvas 13 13 "$base fill $th roundrectangle 3.2,0.3 10.2,12.7 2.6,2.6" "$t/c2_$row.png"
    canvas 13 13 "fill $track stroke none rectangle 0,0 13,13 fill $line rectangle 0,0 0.6,13" "$t/c3_$row.png"
    local hbase="fill $bg stroke none rectangle 0,0 13,13 fill $line rectangle 0,0 13,0.6"
    canvas 13 13 "$hbase || $chev polyline 7.8,3.8 5,6.5 7.8,9.2" "$t/c4_$row.png"
    canvas 13 13 "$hbase || $chev polyline 5.2,3.8 8,6.5 5.2,9.2" "$t/c5_$row.png"
    canvas 13 13 "$hbase fill $th roundrectangle 0.3,3.2 12.7,10.2 2.6,2.6" "$t/c6_$row.png"
    canvas 13 13 "fill $track stroke none rectangle 0,0 13,13 fill $line rectangle 0,0 13,0.6" "$t/c7_$row.png"
    canvas 13 13 "fill $track stroke none rectangle 0,0 13,13 fill #c9bdbb
        circle 10,10 10.8,10 circle 6.5,10 7.3,10 circle 10,6.5 10.8,6.5
        circle 3,10 3.8,10 circle 6.5,6.5 7.3,6.5 circle 10,3 10.8,3" "$t/c8_$row.png"
  done
  for row in 0 1 2; do
    convert "$t"/c{0,1,2,3,4,5,6,7,8}_$row.png +append "$t/row$row.png"
  done
  convert "$t/row0.png" "$t/row1.png" "$t/row2.png" -append -background white -alpha remove -alpha off \
    "$WORK/scroll.png"
  convert "$WORK/scroll.png" +dither -colors 256 -type Palette -compress None BMP3:"$out"
}

# Program icon 128: a rose disc filling the square with a white heart (and, from 32 pixels on, the
# note), so it still reads at 16 pixels in the tray.
app_icon_picture() {
  local size=$1 out=$2 k
  k=$(awk "BEGIN{print $S * $size / 48}")
  local note=""
  [ "$size" -ge 32 ] && note="fill #d8797b stroke #d8797b stroke-width 0.8 stroke-linejoin round
      ellipse 21.6,30.4 3.6,2.8 0,360 line 24.6,30.2 24.6,17
      path 'M 24.6,17 C 27.4,18 30.2,18.8 30.4,22.6 C 29.2,21 27.4,20.6 24.6,20.6'"
  convert -size $((size * S))x$((size * S)) xc:none \
    -draw "scale $k,$k fill #d8797b stroke none circle 24,24 24,0.6" \
    \( -size $((size * S))x$((size * S)) gradient:"rgba(255,255,255,0.22)"-"rgba(120,40,50,0.16)" \) \
    -compose Atop -composite \
    -draw "scale $k,$k fill white stroke none
      path 'M 24,40 C 12.5,32 7,25.5 7,19 C 7,13.6 11.2,9.6 16,9.6 C 19.6,9.6 22.4,11.6 24,14.6
            C 25.6,11.6 28.4,9.6 32,9.6 C 36.8,9.6 41,13.6 41,19 C 41,25.5 35.5,32 24,40 Z'" \
    ${note:+-draw "scale $k,$k $note"} \
    -filter Box -resize "${size}x${size}!" "$out"
}

program_icon() {
  local out="$ROOT/player/app/res/Halvery.ico"
  mkdir -p "$(dirname "$out")"
  local n
  for n in 16 32 48; do app_icon_picture $n "$WORK/icon$n.png"; done
  convert "$WORK/icon16.png" "$WORK/icon32.png" "$WORK/icon48.png" "$out"
}

# The logo window's picture, installed next to the program as logo.png. (The banner page
# dist/AD/default.htm and dist/Config.ini are written by hand.)
dist_files() {
  mkdir -p "$ROOT/dist"
  draw_emblem 48 "$WORK/logo.png"
  save "$WORK/logo.png" "$ROOT/dist/logo.png"
}

# The settings dialog and the skin chooser of a skin, as their windows draw them (mock-ups only).
secondary_mockups() {
  local name=$1 d="$ROOT/skin/$1" t="$WORK/sec_$1"
  mkdir -p "$t"
  local W=558 H=398 i y col
  local nav=()
  local names=("常规设置" "操作习惯" "下载设置" "软件更新") icons=(setroutine setoperation setdownload setappupdate)
  for i in 0 1 2 3; do
    y=$((86 + 50 * i)); col="rgb(80,78,78)"; [ $i = 0 ] && col="rgb(180,48,43)"
    nav+=("$d/${icons[$i]}.png" -geometry "+36+$y" -composite
          -fill "$col" -font "$FONT" -pointsize 10.5 -density 96 -stroke "$col" -strokewidth 0.4
          -annotate "+60+$((y + 14))" "${names[$i]}" -stroke none)
  done
  local closew; closew=$(identify -format %w "$d/close.png")
  convert "$d/backtop.png" -crop "${closew}x20+0+0" +repage "$d/close.png" -compose Over -composite "$t/close.png"
  convert -size ${W}x$H xc:white \
    \( "$d/backtop.png" -crop "${W}x30+0+0" +repage \) -geometry +0+0 -composite \
    -fill white -font "$FONT" -pointsize 10.5 -density 96 -stroke white -strokewidth 0.4 -annotate +10+22 "选项设置" -stroke none \
    \( "$d/setleftbackd.png" -resize "165x$((H - 30))!" \) -geometry +0+30 -composite \
    \( "$d/setleftbacku.png" -resize "165x$((H - 30))!" \) -geometry +0+30 -composite \
    "$d/setbtnbackl.png" -geometry +0+70 -composite "$d/setbtnbackr.png" -geometry +4+71 -composite \
    -fill white -draw "line 0,70 164,70 line 0,120 164,120 line 0,170 164,170 line 0,220 164,220 line 0,270 164,270" \
    "${nav[@]}" \
    -fill "#333333" -pointsize 9 -annotate +190+60 "启动时" -fill "#dddddd" -draw "line 230,56 530,56" \
    -fill "#333333" -annotate +210+88 "☐ 启动时自动播放歌曲" -annotate +210+112 "☐ 开机时自动启动" \
    -annotate +190+150 "基本设置" -fill "#dddddd" -draw "line 240,146 530,146" \
    -fill "#333333" -annotate +210+178 "☑ 接受弹窗和推广消息" \
    "$d/setcheckupdate.png" -geometry +210+300 -composite "$d/setexplorer.png" -geometry +320+302 -composite \
    "$t/close.png" -geometry "+$((W - closew - 6))+5" -composite \
    -bordercolor "#8a8a8a" -border 1 "$MOCKUPS/$name-settings.png"

  # the skin chooser: 505 x 275 client below a thin border
  W=505 H=275
  local cells=() x0 y0 k=0
  for p in "$ROOT"/skin/*.png; do
    x0=$((1 + 126 * (k % 4))); y0=$((31 + 81 * (k / 4)))
    cells+=(\( "$p" -crop 125x80+0+0 +repage \) -geometry "+$x0+$y0" -composite)
    k=$((k + 1))
  done
  convert -size ${W}x$H xc:white \
    \( "$d/backtop.png" -crop "${W}x30+0+0" +repage \) -geometry +0+0 -composite \
    -fill white -font "$FONT" -pointsize 9.75 -density 96 -stroke white -strokewidth 0.4 -annotate +10+21 "皮肤与界面调整" -stroke none \
    "${cells[@]}" -fill none -stroke black -strokewidth 2 -draw "rectangle 2,32 125,110" -stroke none \
    "$t/close.png" -geometry +480+10 -composite \
    -bordercolor "#8a8a8a" -border 1 "$MOCKUPS/$name-chooser.png"
}

# ---------------------------------------------------------------------------------------------------
# Palettes. Default: warm rose and peach. Second: mint and sky.
palette_default() {
  HEAD="#d8797b" HEAD_DEEP="#c7676c" TINT="#fbefec"
  ACCENT="#cf6f73" DECO1="#ffffff" DECO2="#ffd9c8" POS_TINT="#fff0ec"
  NAV_TOP="#fdf3f1" NAV_BOTTOM="#f8e6e2" NAV_EDGE="#ecd2cd" NAV_SEL="#fbe3df" EMBLEM_HEART="#e0787c"
}
palette_mint() {
  HEAD="#4f9f98" HEAD_DEEP="#438c88" TINT="#eef7f5"
  ACCENT="#4a9a94" DECO1="#ffffff" DECO2="#bfe3f5" POS_TINT="#effaf8"
  NAV_TOP="#f3faf8" NAV_BOTTOM="#e3f2ef" NAV_EDGE="#cde4df" NAV_SEL="#dcefeb" EMBLEM_HEART="#e0787c"
}

palette_default; draw_skin default
palette_mint; draw_skin mint
palette_default
scroll_bitmap
program_icon
dist_files
banner_picture
preview default
preview mint
if [ -n "$MOCKUPS" ]; then
  secondary_mockups default
  secondary_mockups mint
  for s in default mint; do
    montage "$ROOT/skin/$s"/*.png -font DejaVu-Sans -pointsize 9 -label '%t' -background "#9a9a9a" \
      -geometry '+8+8' -tile 8x "$MOCKUPS/$s-sheet.png"
  done
fi
