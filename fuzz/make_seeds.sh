#!/bin/sh
# Makes the fuzz targets' small seed corpora: a few tiny movies of the kinds
# the player meets, tiny JPEG files of each kind the loader handles, options
# records, details templates and command lines. Once per build folder.
set -eu
out="$1"
stamp="$out/.done-$(cksum < "$0" | cut -d' ' -f1)"
[ -f "$stamp" ] && exit 0
rm -rf "$out"
mkdir -p "$out/movie" "$out/jpeg" "$out/options" "$out/details" "$out/command_line"

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
pic="testsrc2=size=64x48:rate=10:duration=1"
tone="sine=frequency=440:sample_rate=8000:duration=1"

cd "$out/movie"
ff -f lavfi -i "$pic" -c:v libx264 -preset ultrafast -g 5 -bf 2 -pix_fmt yuv420p h264.mp4
ff -f lavfi -i "$pic" -c:v libx264 -preset ultrafast -g 5 -pix_fmt yuv420p10le h264_10bit.mp4
ff -f lavfi -i "$pic" -f lavfi -i "$tone" -c:v mpeg2video -g 5 -bf 2 -c:a mp2 -b:a 32k mpeg2.mpg
ff -f lavfi -i "$pic" -c:v mjpeg -q:v 10 mjpeg.avi
ff -f lavfi -i "$pic" -c:v ffv1 ffv1.avi
ff -f lavfi -i "$pic" -c:v wmv2 -q:v 10 wmv2.wmv
ff -f lavfi -i "$pic" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 50k vp9.webm
ff -f lavfi -i "$tone" -c:a aac -b:a 16k aac.m4a
ff -f lavfi -i "$pic" -vf setsar=16/11 -c:v mpeg2video -g 5 -f mpeg2video mpeg2.m2v
# Damaged copies, as a broken download has them: bytes overwritten at fixed
# places past the headers (replayed under valgrind by the plain build).
for f in h264.mp4 mpeg2.mpg ffv1.avi; do
  cp "$f" "damaged-$f"
  size=$(wc -c < "$f")
  for at in $((size / 3)) $((size / 2)) $((size * 2 / 3)) $((size * 5 / 6)); do
    printf '\377\000\377' | dd of="damaged-$f" bs=1 seek="$at" conv=notrunc status=none
  done
done

cd "$out/jpeg"
ff -f lavfi -i "testsrc2=size=32x24" -frames:v 1 -q:v 5 colour.jpg
ff -f lavfi -i "testsrc2=size=33x17" -frames:v 1 -pix_fmt gray -q:v 5 grey.jpg
ff -f lavfi -i "testsrc2=size=16x16" -frames:v 1 -pix_fmt yuvj444p -q:v 5 full.jpg
jpegtran -progressive colour.jpg > progressive.jpg
jpegtran -restart 1 grey.jpg > restart.jpg

cd "$out/options"
: > empty.lyt
head -c 456 /dev/zero > zeros.lyt
# Five columns of 64 x 48 tiles, 4-pixel gaps, shadow on; the rest zero.
printf '\005\000\000\000@\000\000\0000\000\000\000\004\000\000\000\004\000\000\000\001\000\000\000' > small.lyt
head -c 432 /dev/zero >> small.lyt
printf '\020\040' >> small.lyt

cd "$out/details"
numbers() { printf '\000\100\000\000\000\000\000\000\100\001\000\000\360\000\000\000\000\000\000\000\000\200\116\100'; }
{ numbers; printf 'movie.mp4\000[FILE_NAME]\n[FILE_SIZE], [WIDTH] x [HEIGHT], [DURATION]'; } > plain
{ numbers; printf '[WIDTH].mp4\000\t[FILE_NAME][FILE_NAME]\r\n\303\251\342\200\224'; } > nested

cd "$out/command_line"
printf 'movie.mp4' > one
printf -- '-n\00012\000--columns\0004\000--tile\000160x120\000-o\000out.jpg\000a.mp4' > flags
printf -- '--gap=3\000-q\00090\000--progressive\000-j\0002\000-r\000dir' > more
printf -- '--help' > help
printf -- '--frames\0000\000x' > bad
touch "$stamp"
