#!/usr/bin/env bash
# Makes a Wine prefix for the tests once, 32-bit (win32) or 64-bit (win64,
# which runs 32-bit programs too); later runs find it ready.
#   wine-prefix.sh PREFIX [win32|win64]
# Windows are unmanaged, so Wine does not wait for a window manager each
# time a dialog closes.
set -euo pipefail
prefix="$1"
arch="${2:-win32}"
[ -f "$prefix/.vantrel-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.vantrel-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
wineserver -w
touch "$prefix/.vantrel-ready"
