#!/bin/sh
# Every program that the Makefile and the scripts it runs start from the build's program
# folder must be one that the build made there.
# Usage: programs-named.sh BIN_DIR FILE...
set -u
bin=$1
shift
names=$(grep -ohE '(\$\(BIN\)|\$bin|\$build/bin)/[A-Za-z0-9_.-]+' "$@" | sed 's#.*/##' | sort -u)
count=0
missing=
for name in $names; do
  count=$((count + 1))
  [ -f "$bin/$name" ] && [ -x "$bin/$name" ] || missing="$missing $name"
done
# A bare name straight under the build folder is a program outside it.
stray=$(grep -ohE '\$\(BUILD\)/[A-Za-z0-9_-]+([[:space:];'"'"'"]|$)' "$@" |
  grep -vE '^\$\(BUILD\)/bin([[:space:]]|$)' | sort -u)
if [ -n "$stray" ]; then
  echo "started from the build folder instead of its program folder:" $stray
  exit 1
fi
if [ -n "$missing" ]; then
  echo "named, but not built in $bin:$missing"
  exit 1
fi
# The Makefile alone names the program, its demo and the process tests.
if [ $count -lt 3 ]; then
  echo "only $count programs named; the search for them is broken"
  exit 1
fi
echo "$count programs named, all built:" $names
