#!/bin/sh
# The package check passes on the project's list, and names libopenal-dev
# (the engine includes its AL/al.h) in a copy of the list without it.
src=$1 build=$2 tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
"$src/scripts/check-deps" "$build" || exit 1
sed 's/ libopenal-dev / /' "$src/scripts/deps.sh" >"$tmp/deps.sh"
out=$("$src/scripts/check-deps" "$build" "$tmp/deps.sh")
rc=$?
echo "$out"
[ $rc -eq 1 ] && echo "$out" | grep -q '^check-deps: libopenal-dev .*/AL/al\.h' ||
  { echo "libopenal-dev not named as missing (exit $rc)"; exit 1; }
