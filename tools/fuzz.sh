#!/bin/sh
# Builds the fuzz targets (clang, libFuzzer, AddressSanitizer and UBSan) in
# build-fuzz/ and runs each for SECONDS, two at a time (the machines have two
# cores). The corpus each run grows is kept in build-fuzz/corpus/TARGET and
# starts from the generated seeds. Exits non-zero when a target crashes, leaks,
# runs out of memory or hangs; the input that did it is saved as
# build-fuzz/artifacts/TARGET/crash-* (or leak-, oom-, timeout-).
#   tools/fuzz.sh SECONDS [TARGET...]
# FUZZ_SEED picks the mutations (1 unless set), so a run repeats on the same
# machine. Re-run one saved input: build-fuzz/fuzz/TARGET build-fuzz/artifacts/TARGET/crash-...
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"

# One target, run by the loop below as its own process.
if [ "${1:-}" = "--run-one" ]; then
  target="$2"; seconds="$3"
  corpus="$build/corpus/$target"; artifacts="$build/artifacts/$target"
  mkdir -p "$corpus" "$artifacts"
  extra=""
  # A movie open plus three grabs takes a while; a damaged movie may ask for
  # a few seconds of probing (the player's own bound is 8 s).
  [ "$target" = fuzz_movie ] && extra="-timeout=30 -max_len=65536"
  # Inputs that once broke a target stay in the repository and run first.
  regressions="$root/fuzz/regressions/${target#fuzz_}"
  [ -d "$regressions" ] || regressions=""
  log="$build/logs/$target.log"
  mkdir -p "$build/logs"
  # Leaks inside Qt, fontconfig and the FFmpeg libraries are theirs, not ours.
  if LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0" \
     ASAN_OPTIONS="allocator_may_return_null=1:detect_leaks=1" \
     UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
     "$build/fuzz/$target" -max_total_time="$seconds" -timeout=20 -rss_limit_mb=2560 \
       -artifact_prefix="$artifacts/" -print_final_stats=1 -seed="${FUZZ_SEED:-1}" $extra \
       "$corpus" "$build/fuzz/seeds/${target#fuzz_}" $regressions > "$log" 2>&1; then
    runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
    echo "$target: ${runs:-?} runs in ${seconds} s, nothing found"
  else
    echo "$target: FAILED, see $log; the input is in $artifacts/" >&2
    grep -E "^(==[0-9]+==ERROR|SUMMARY)|runtime error" "$log" | head -n 5 >&2 || true
    exit 1
  fi
  exit 0
fi

seconds="${1:?usage: tools/fuzz.sh SECONDS [TARGET...]}"
shift
targets="${*:-fuzz_movie fuzz_jpeg fuzz_options fuzz_details fuzz_command_line}"
command -v clang++ > /dev/null || { echo "fuzz.sh: clang++ is missing (tools/setup.sh)" >&2; exit 1; }
launcher=""
command -v ccache > /dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
CC=clang CXX=clang++ cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DREELCAP_FUZZ=ON \
  $launcher > /dev/null
# shellcheck disable=SC2086
cmake --build "$build" -j2 --target $targets > "$build/build.log" 2>&1 ||
  { tail -n 30 "$build/build.log" >&2; exit 1; }
printf '%s\n' $targets | xargs -P 2 -I{} "$0" --run-one {} "$seconds"
