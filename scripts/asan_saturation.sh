#!/bin/sh
# Builds the game behaviour tests (damage, missiles and targets on the real
# entity store, and the saturation run), the engine's readers of model,
# collision, texture and archive files and its drawing with AddressSanitizer and
# UndefinedBehaviorSanitizer in their own build directory and runs them.
#   scripts/asan_saturation.sh [build-dir]   (default: build-asan)
set -eu
src=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$src/build-asan}
flags="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined"
cmake -S "$src" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE=Debug \
  -DGK_BUILD_CONTENT=OFF -DGK_BUILD_BENCH=OFF \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
  -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" >/dev/null
tests="game_test_saturation game_test_world engine_test_collision engine_test_model engine_test_fs engine_test_texture"
cmake --build "$dir" -j2 --target $tests engine_test_draw
supp="$dir/lsan.supp"
# leaks inside the audio library's own device handling, and the desktop bus
# the GL driver opens, are not ours
printf 'leak:libopenal\nleak:libasound\nleak:libSDL2\nleak:libdbus\n' >"$supp"
export ALSOFT_DRIVERS=null GACKATRON_HEADLESS=1
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 LSAN_OPTIONS=suppressions=$supp
cd "$dir/tests"
for t in $tests; do
  echo "== $t"
  ./$t --gtest_brief=1
done
# drawing, on Mesa under Xvfb: the GL driver's modules are unloaded before
# the leak check, so their leaks cannot be told from ours and it is left out
echo "== engine_test_draw"
ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 xvfb-run -a -s '-screen 0 1280x1024x24' ./engine_test_draw --gtest_brief=1
