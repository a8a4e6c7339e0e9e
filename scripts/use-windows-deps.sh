#!/bin/sh
# Runs one step of the Windows build that reads the dependency prefix (the
# build's compiler and linker launcher). A prefix from the cache is held while
# the step runs: a shared lock on its .complete, which the cache's pruning
# (build-windows-deps.sh) respects, and a fresh time on it, so that the cache
# counts it as used now. A prefix made elsewhere is used as it is.
#   use-windows-deps.sh PREFIX COMMAND [ARGUMENT...]
prefix=$1
shift
gone() {
  echo "The Windows dependencies in $prefix are gone (pruned from the cache);" \
       "scripts/build-windows.sh builds or finds them again." >&2
  exit 1
}
[ -d "$prefix" ] || gone
if [ -f "$prefix/.complete" ]; then
  exec 9< "$prefix/.complete" || gone
  flock -s 9
  [ -f "$prefix/.complete" ] || gone
  touch -c "$prefix/.complete"
fi
exec "$@"
