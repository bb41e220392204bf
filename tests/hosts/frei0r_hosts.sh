#!/usr/bin/env bash
# The frei0r plugins in real hosts, headless, from a fresh install prefix that is
# then moved: each host's frames are compared byte for byte with `brumel render`
# of the same 8-bit frames. A host that is not installed is skipped with a message.
# Usage: frei0r_hosts.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

if ! command -v ffmpeg >/dev/null; then
  echo "SKIP: ffmpeg is not installed (scripts/setup installs it); it makes the clips"
  exit 0
fi
cmake --install "$build" --prefix "$work/installed" >/dev/null || exit 1
mv "$work/installed" "$work/moved"  # a moved prefix still works
export FREI0R_PATH="$work/moved/lib/frei0r-1"
export GST_REGISTRY="$work/gst-registry.bin"
brumel="$work/moved/bin/brumel"
failures=0
pass() { echo "ok: $1"; }
fail() { echo "FAIL: $1"; failures=$((failures + 1)); }

# Every frame of a PNG sequence (or its frames 1..K) as raw RGBA bytes.
raw() { for k in $(seq 1 "$2"); do ffmpeg -v error -i "$(printf "$1" "$k")" -f rawvideo -pix_fmt rgba -; done; }
# clip NAME WxH K [testsrc]: an 8-bit RGBA PNG clip NAME/c.0001.png.. and NAME.rgba
clip() {
  mkdir -p "$1"
  ffmpeg -v error -f lavfi -i "${4:-testsrc2}=size=$2:rate=25" -frames:v "$3" -pix_fmt rgba "$1/c.%04d.png"
  raw "$1/c.%04d.png" "$3" > "$1.rgba"
}
# reference NAME CLIP K [brumel render options]: NAME.rgba, frames 1..K
reference() {
  local name=$1 input=$2 k=$3
  shift 3
  "$brumel" render -i "$input/c.####.png" --frames "1-$k" -q -o "$name/r.####.png" --datatype uint8 "$@" ||
    return 1
  raw "$name/r.%04d.png" "$k" > "$name.rgba"
}
compare() {  # compare WHAT GOT EXPECTED
  if [ -s "$2" ] && cmp -s "$2" "$3"; then pass "$1"; else fail "$1 ($(cmp "$2" "$3" 2>&1 | head -1))"; fi
}

"$brumel" render --frames 1 --size 64x36 -q -o moved.png && pass "the moved prefix renders a frame" ||
  fail "the moved prefix renders a frame"

# ffmpeg: the filter at two sizes (720 wide: ffmpeg passes garbage times), a demo with
# pre-roll and a settings document, and the source over the built-in sky.
clip c320 320x180 6
clip c720 720x405 4
reference r320 c320 6
reference r720 c720 4
"$brumel" render --set Quantity=60 --set "Use Light=on" --save doc.json --frames 1 --size 16x16 -q -o doc.png
reference rdoc c320 6 --load doc.json --demo Billow --preroll
ffmpeg -v error -i c320/c.%04d.png -vf frei0r=brumel -f rawvideo -pix_fmt rgba f320.rgba
compare "ffmpeg 320x180" f320.rgba r320.rgba
ffmpeg -v error -i c720/c.%04d.png -vf frei0r=brumel -f rawvideo -pix_fmt rgba f720.rgba
compare "ffmpeg 720x405" f720.rgba r720.rgba
ffmpeg -v error -i c320/c.%04d.png -vf "frei0r=brumel:$work/doc.json|Billow|y" -f rawvideo -pix_fmt rgba fdoc.rgba
compare "ffmpeg settings document, demo and pre-roll" fdoc.rgba rdoc.rgba
reference relement c320 6 --demo Sunset --preroll --element
ffmpeg -v error -i c320/c.%04d.png -vf "frei0r=brumel:|Sunset|y|y" -f rawvideo -pix_fmt rgba felement.rgba
compare "ffmpeg element" felement.rgba relement.rgba
"$brumel" render --frames 1-6 --size 320x180 -q -o rsky/r.####.png --datatype uint8 && raw rsky/r.%04d.png 6 > rsky.rgba
ffmpeg -v error -f lavfi -i "frei0r_src=size=320x180:framerate=25:filter_name=brumel_source:filter_params=|" \
  -frames:v 6 -f rawvideo -pix_fmt rgba fsky.rgba
compare "ffmpeg source over the dusk sky" fsky.rgba rsky.rgba
# A width the frei0r API does not allow (ffmpeg pads such rows) is said, not passed in silence.
if ffmpeg -v error -f lavfi -i testsrc2=size=98x60:rate=25 -frames:v 1 -vf frei0r=brumel -f null - 2>&1 |
  grep -q "width is not a multiple of 8"; then
  pass "ffmpeg at a width that is not a multiple of 8 is warned about"
else
  fail "ffmpeg at a width that is not a multiple of 8 is warned about"
fi

# melt: one worker and an instance per worker, a keyframed parameter, and the
# two-input transition whose second track is the birth matte.
if command -v melt >/dev/null; then
  # melt crashes on a profile without a description (mlt_profile_clone).
  printf '%s\n' "description=320x180 25" colorspace=709 frame_rate_num=25 frame_rate_den=1 width=320 height=180 progressive=1 \
    sample_aspect_num=1 sample_aspect_den=1 display_aspect_num=16 display_aspect_den=9 > p320
  run_melt() {  # run_melt OUT MELT-ARGS...: the clip's 6 frames through melt into OUT
    local out=$1
    shift
    timeout 120 melt -silent -profile p320 avformat:c320/c.%04d.png in=0 out=5 "$@" \
      -consumer "avformat:$out" f=rawvideo pix_fmt=rgba 2>/dev/null </dev/null
  }
  for rt in -1 -2; do
    run_melt "m$rt.rgba" -filter frei0r.brumel real_time=$rt
    compare "melt real_time=$rt" "m$rt.rgba" r320.rgba
  done
  reference rkey c320 6 --key "Wind Speed=1:25,5:50"
  run_melt mkey.rgba -filter frei0r.brumel "Wind Speed=0=0.25;4=0.5" real_time=-2
  compare "melt keyframed Wind Speed" mkey.rgba rkey.rgba
  clip matte 320x180 6 testsrc
  "$brumel" render -i c320/c.####.png --matte matte/c.####.png --demo Billow --frames 1-6 -q \
    -o rmatte/r.####.png --datatype uint8 && raw rmatte/r.%04d.png 6 > rmatte.rgba
  run_melt mmatte.rgba -track avformat:matte/c.%04d.png in=0 out=5 \
    -transition frei0r.brumel_matte a_track=0 b_track=1 demo=Billow real_time=-1
  compare "melt birth matte transition" mmatte.rgba rmatte.rgba
else
  echo "SKIP: melt is not installed (scripts/setup installs it)"
fi

# GStreamer: a demo by its property.
if command -v gst-launch-1.0 >/dev/null; then
  reference rbillow c320 6 --demo Billow
  timeout 120 gst-launch-1.0 -q filesrc location=c320.rgba blocksize=230400 \
    ! rawvideoparse width=320 height=180 format=rgba framerate=25/1 \
    ! frei0r-filter-brumel demo=Billow ! filesink location=gbillow.rgba
  compare "gst-launch-1.0 demo Billow" gbillow.rgba rbillow.rgba
else
  echo "SKIP: gst-launch-1.0 is not installed (scripts/setup installs it)"
fi

[ "$failures" -eq 0 ] || { echo "$failures host check(s) failed"; exit 1; }
