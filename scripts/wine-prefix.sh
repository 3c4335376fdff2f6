#!/usr/bin/env bash
# Makes a 32-bit Wine prefix for the tests once; later runs find it ready.
# Windows are unmanaged, so Wine does not wait for a window manager each
# time a dialog closes.
set -euo pipefail
prefix="$1"
[ -f "$prefix/.vantrel-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.vantrel-ready" ] && exit 0
export WINEPREFIX="$prefix" WINEARCH=win32 WINEDEBUG=-all
wineboot -i >/dev/null 2>&1
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1 || true
wineserver -w
touch "$prefix/.vantrel-ready"
