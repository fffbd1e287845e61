#!/bin/sh
# The package check passes on the project's list, and in a copy of the list
# without libopenal-dev (the engine includes its AL/al.h) and libgtest-dev
# (the configure reads its GTestConfig.cmake) names both.
src=$1 build=$2 tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$src/scripts/check-deps" "$build" || exit 1
sed 's/ libopenal-dev / /; s/ libgtest-dev / /' "$src/scripts/deps.sh" >"$tmp/deps.sh"
out=$("$src/scripts/check-deps" "$build" "$tmp/deps.sh")
rc=$?
echo "$out"
[ $rc -eq 1 ] || { echo "exit $rc on a list without two needed packages"; exit 1; }
echo "$out" | grep -q '^check-deps: libopenal-dev .*/AL/al\.h' || { echo "libopenal-dev not named"; exit 1; }
echo "$out" | grep -q '^check-deps: libgtest-dev ' || { echo "libgtest-dev not named"; exit 1; }
