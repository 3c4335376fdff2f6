#!/usr/bin/env bash
# Makes a Wine prefix for the tests once, 32-bit (win32) or 64-bit (win64);
# later runs find it ready.
#   wine-prefix.sh PREFIX win32|win64
# Each width is made by its own loader: the 64-bit prefix by wine64 alone,
# so that it never needs 32-bit support (Debian's `wine` script starts the
# 32-bit loader whenever wine32 is installed). Windows are unmanaged, so
# Wine does not wait for a window manager each time a dialog closes. When
# wineboot fails, its output says why.
set -euo pipefail
prefix="$1"
arch="$2"
[ -f "$prefix/.vantrel-ready" ] && exit 0
mkdir -p "$(dirname "$prefix")"
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.vantrel-ready" ] && exit 0
case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
  *) echo "wine-prefix.sh: unknown width $arch" >&2; exit 2 ;;
esac
rm -rf "$prefix"
# Without Mono and Gecko: wineboot would look for them and offer to download
# them, and the tests need neither.
export WINEPREFIX="$prefix" WINEARCH="$arch" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
log="$prefix.log"
if ! "$loader" wineboot -i >"$log" 2>&1 ||
  ! "$loader" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >>"$log" 2>&1 ||
  ! /usr/lib/wine/wineserver -w >>"$log" 2>&1 || [ ! -f "$prefix/system.reg" ]; then
  echo "wine-prefix.sh: making the $arch prefix $prefix failed; Wine said:" >&2
  cat "$log" >&2
  exit 1
fi
touch "$prefix/.vantrel-ready"
