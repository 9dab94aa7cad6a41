#!/bin/sh
# Generates the small test movies once per build tree with the ffmpeg CLI.
set -eu
out="$1"
# The stamp names this script's checksum, so a changed script makes the clips anew.
stamp=".done-$(cksum < "$0" | cut -d' ' -f1)"
mkdir -p "$out"
cd "$out"
[ -f "$stamp" ] && exit 0
rm -f .done .done-*

ff() { ffmpeg -hide_banner -loglevel error -y "$@"; }
pic() { echo "testsrc2=size=$1:rate=25:duration=$2"; }
tone() { echo "sine=frequency=440:sample_rate=44100:duration=$1"; }

# H.264 with B-frames and short groups of pictures, AAC sound.
ff -f lavfi -i "$(pic 320x240 4)" -f lavfi -i "$(tone 4)" \
   -c:v libx264 -preset veryfast -g 50 -bf 3 -pix_fmt yuv420p -c:a aac -b:a 64k h264_aac.mp4
# MPEG-2 programme stream.
ff -f lavfi -i "$(pic 320x240 4)" -f lavfi -i "$(tone 4)" \
   -c:v mpeg2video -q:v 3 -g 12 -bf 2 -c:a mp2 mpeg2.mpg
# VP9 in WebM.
ff -f lavfi -i "$(pic 320x240 3)" -c:v libvpx-vp9 -deadline realtime -cpu-used 8 -b:v 400k -g 30 vp9.webm
# Windows Media: WMV2 / WMA2 in ASF.
ff -f lavfi -i "$(pic 320x240 3)" -f lavfi -i "$(tone 3)" -c:v wmv2 -q:v 3 -g 25 -c:a wmav2 -b:a 64k wmv2.wmv
# Motion JPEG in AVI.
ff -f lavfi -i "$(pic 320x240 3)" -f lavfi -i "$(tone 3)" -c:v mjpeg -q:v 3 -c:a pcm_s16le mjpeg.avi
# A folder whose name sends everything inside to the ASF demuxer: a real ASF
# file without a telling extension, and an AVI file the ASF demuxer cannot read.
mkdir -p x.wmv
cp wmv2.wmv x.wmv/movie.bin
cp mjpeg.avi x.wmv/movie.avi
# Picture only, two seconds; sound only.
ff -f lavfi -i "$(pic 320x240 2)" -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p noaudio.mp4
ff -f lavfi -i "$(tone 2)" -c:a aac -b:a 64k audioonly.m4a
# Odd size (4:4:4 so that x264 accepts it).
ff -f lavfi -i "$(pic 320x240 2)" -vf scale=321:241 -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv444p odd.mp4
# Anamorphic: pixels 16:11.
ff -f lavfi -i "$(pic 320x240 2)" -vf setsar=16/11 -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p anamorphic.mp4
# Rotated a quarter turn by the display matrix (written when copying).
ff -i noaudio.mp4 -c copy -metadata:s:v:0 rotate=90 rotated.mp4
# Ten bits per sample.
ff -f lavfi -i "$(pic 320x240 2)" -c:v libx264 -preset veryfast -g 25 -pix_fmt yuv420p10le tenbit.mp4
# BT.709 matrix, full range, tagged.
ff -f lavfi -i "$(pic 320x240 2)" -vf scale=out_color_matrix=bt709:out_range=full,format=yuv420p \
   -c:v libx264 -preset veryfast -g 25 -colorspace bt709 -color_primaries bt709 -color_trc bt709 \
   -color_range pc bt709_full.mp4
# 100 seconds, tiny, long groups of pictures (Grab All labels).
ff -f lavfi -i "testsrc2=size=64x48:rate=25:duration=100" -c:v libx264 -preset ultrafast -g 250 \
   -pix_fmt yuv420p long100.mp4
# 9.6 s with two black stretches: 4.60-5.16 s (covers the second of three evenly
# spaced frames, at 4.8 s, and ends within a quarter step) and 6.92-8.00 s
# (covers the third, at 7.2 s, past a quarter step).
ff -f lavfi -i "testsrc2=size=160x120:rate=25:duration=9.6" \
   -vf "drawbox=x=0:y=0:w=iw:h=ih:color=black:t=fill:enable='between(t,4.59,5.19)+between(t,6.9,8.01)'" \
   -c:v libx264 -preset ultrafast -g 25 -pix_fmt yuv420p blank_gaps.mp4
# HDR as phones record it (HEVC 10-bit, BT.2020), made from an SDR source:
# PQ (SMPTE ST 2084) and HLG (ARIB STD-B67) transfer.
for trc in smpte2084 arib-std-b67; do
  ff -f lavfi -i "$(pic 320x240 2)" \
     -vf "zscale=tin=bt709:min=bt709:pin=bt709:rin=tv:t=$trc:p=bt2020:m=bt2020nc:npl=100,format=yuv420p10le" \
     -c:v libx265 -preset ultrafast -x265-params log-level=error -g 25 \
     -color_trc $trc -color_primaries bt2020 -colorspace bt2020nc "hdr_$trc.mp4"
done
# Sound packets damaged so that nearly every one fails to decode.
ff -i h264_aac.mp4 -c copy -bsf:a noise=amount=20 badaudio.mp4
# Variable frame rate as phones write it: 25 fps with three 0.64 s gaps, each
# after a B-frame that nothing refers to (fixed I B B B P, no B-pyramid).
ff -f lavfi -i "$(pic 320x240 4)" -vf "setpts='(N+16*(gte(N\,8)+gte(N\,32)+gte(N\,56)))/(25*TB)'" \
   -fps_mode vfr -c:v libx264 -preset veryfast -g 50 -bf 3 -x264-params b-adapt=0:b-pyramid=none:scenecut=0 \
   -pix_fmt yuv420p vfr_gaps.mp4
# A movie that opens on a black title: the first 2.5 s of 12 are black.
ff -f lavfi -i "$(pic 320x240 12)" -vf "drawbox=x=0:y=0:w=iw:h=ih:color=black:t=fill:enable='lt(t,2.5)'" \
   -c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p black_open.mp4
# Ten hours in six pictures, long work from a tiny file: four of the test
# pattern at the start (to 3 h), then black to the end. Thumbnails every few
# milliseconds would be millions; the search past a black picture steps
# through hours of one picture.
ff -f lavfi -i "$(pic 320x240 0.24)" \
   -vf "drawbox=x=0:y=0:w=iw:h=ih:color=black:t=fill:enable='gte(n,4)',setpts='if(lt(N,4),N,if(eq(N,4),3*3600*25,10*3600*25))/(25*TB)'" \
   -fps_mode vfr -c:v libx264 -preset ultrafast -pix_fmt yuv420p sparse10h.mp4
# Shots, 14 s at 25 fps (frame n at n/25 s): testsrc to 2.0 s, a cut (frame
# 50) to colour bars with a one-frame white flash at frame 87, a one-second
# dissolve (4-5 s) into a fractal, a cut (frame 176) to a pattern moving fast,
# a one-second fade through black (9-10 s) into a fast pan, a cut (frame 300)
# to colour gradients. B-frames, so that some cuts fall on frames a scan skips.
# The automaton's first row is seeded: its random start made the clip, and
# what the search finds in it, differ from one build to the next.
S=160x120
ff -f lavfi -i "testsrc=size=$S:rate=25:duration=2" -f lavfi -i "smptebars=size=$S:rate=25:duration=3" \
   -f lavfi -i "mandelbrot=size=$S:rate=25,trim=duration=3" \
   -f lavfi -i "cellauto=size=$S:rate=25:rule=30:start_full=1:seed=2,scroll=horizontal=0.06:vertical=0.04,trim=duration=3" \
   -f lavfi -i "testsrc=size=$S:rate=25:duration=3" -f lavfi -i "yuvtestsrc=size=$S:rate=25:duration=2" \
   -filter_complex "[0]format=yuv420p,setsar=1,settb=1/25,fps=25[a];\
[1]drawbox=x=0:y=0:w=iw:h=ih:color=white:t=fill:enable='eq(n,37)',format=yuv420p,setsar=1,settb=1/25,fps=25[b];\
[2]format=yuv420p,setsar=1,settb=1/25,fps=25[c];[3]format=gray,format=yuv420p,setsar=1,settb=1/25,fps=25[d];\
[4]split=3[e1][e2][e3];[e1][e2][e3]hstack=3,crop=160:120:x='n*4':y=0,format=yuv420p,setsar=1,settb=1/25,fps=25[e];\
[5]format=yuv420p,setsar=1,settb=1/25,fps=25[f];[a][b]concat=n=2,settb=1/25[ab];\
[ab][c]xfade=transition=fade:duration=1:offset=4[abc];[abc][d]concat=n=2,settb=1/25[abcd];\
[abcd][e]xfade=transition=fadeblack:duration=1:offset=9[abcde];[abcde][f]concat=n=2,format=yuv420p[out]" \
   -map "[out]" -c:v libx264 -preset veryfast -g 50 -bf 3 -pix_fmt yuv420p shots.mp4
touch "$stamp"
