#!/usr/bin/env bash
# Runs the command-level test suite against the Windows build under Wine: the
# tests stay Linux programs and start `wine cspTRIL.exe` for every run.
#   scripts/test-windows.sh [NATIVE_BUILD_DIR [EXE [CTEST_ARGS...]]]
# defaults: build and build-windows/cspTRIL.exe. CSPTRIL_WINE_LANGS names the
# locales to run under (default both, see below). The Wine prefix is made for the
# run and removed after it; one persistent Wine server serves every run, since
# starting one per run costs seconds each.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(realpath "${1:-build}") exe=$(realpath "${2:-build-windows/cspTRIL.exe}")
shift $(($# < 2 ? $# : 2))
[ -f "$build/CTestTestfile.cmake" ] || { echo "no native test build in $build" >&2; exit 1; }
[ -f "$exe" ] || { echo "no Windows build at $exe" >&2; exit 1; }
# Every test path holds Cyrillic and Tajik letters; Wine takes the ANSI code page from
# LANG, so the suite runs under 1251 (Russian, no Tajik letters) and under 1252.
locale -a | grep -qix 'ru_RU.utf8' ||
  { echo "no ru_RU.UTF-8 locale: run scripts/install-windows-deps.sh first" >&2; exit 1; }

# UTF-8 arguments reach the program intact only under a UTF-8 locale.
WINEPREFIX=$(mktemp -d /tmp/cspTRIL-wine.XXXXXX)
export LANG=C.UTF-8 WINEPREFIX WINEDEBUG=-all WINEDLLOVERRIDES='mscoree,mshtml='
trap 'wineserver -k 2>/dev/null || true; rm -rf "$WINEPREFIX"' EXIT
wine wineboot --init >/dev/null 2>&1
wineserver -w
# COM1 is a device that never ends: a FIFO nobody writes to (a fresh machine may
# have no serial port for it to name).
mkfifo "$WINEPREFIX/com1"
ln -sfn "$WINEPREFIX/com1" "$WINEPREFIX/dosdevices/com1"
wineserver -p
# Wine's own services start with the session's first program and keep every descriptor it had:
# started here, they hold no pipe of a test's run, whose reader would then wait for ever.
wine cmd /c exit </dev/null >/dev/null 2>&1
for lang in ${CSPTRIL_WINE_LANGS:-ru_RU.UTF-8 C.UTF-8}; do
  echo "== cspTRIL.exe under Wine, LANG=$lang"
  LANG=$lang CSPTRIL_TOOL=$exe CSPTRIL_TOOL_RUNNER=wine \
    ctest --test-dir "$build" -j2 --output-on-failure "$@"
done
