#!/bin/sh
# Runs every test headless.
#   tools/test.sh [CTEST ARGS...]             the suite in build/
#   tools/test.sh --sanitize [CTEST ARGS...]  builds build-asan/ with
#       AddressSanitizer and UBSan and runs the suite there; any memory error,
#       leak or undefined behaviour fails the test it happens in.
set -eu
root="$(cd "$(dirname "$0")/.." && pwd)"
if [ "${1:-}" = "--sanitize" ]; then
  shift
  launcher=""
  command -v ccache > /dev/null && launcher="-DCMAKE_CXX_COMPILER_LAUNCHER=ccache"
  # -O1 with line tables: reports still name files and lines, and the build
  # takes far less time than an optimised one with full debug information.
  cmake -S "$root" -B "$root/build-asan" -DCMAKE_BUILD_TYPE=None -DCMAKE_CXX_FLAGS="-O1 -g1" \
    -DREELCAP_ASAN=ON $launcher > /dev/null
  cmake --build "$root/build-asan" -j2
  cd "$root/build-asan"
  # Leaks inside Qt, fontconfig and the FFmpeg libraries are theirs, not ours
  # (suppressions name third-party libraries only). valgrind cannot run a
  # program built with AddressSanitizer: the memcheck test runs in build/.
  LSAN_OPTIONS="suppressions=$root/tools/lsan.supp:print_suppressions=0" \
  ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:detect_stack_use_after_return=0" \
  UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" \
  QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 -E memcheck "$@"
  exit
fi
cd "$root/build"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 "$@"
