#!/usr/bin/env bash
# Runs the Wine suite of one build tree (CTest, one Wine process per test
# program) in one warm Wine session: the tree's own prefix, an Xvfb display
# of its own and one wineserver.
#   wine-stage.sh TREE win32|win64 TIMEOUT
# TIMEOUT: seconds one test program may take.
set -uo pipefail
tree="$(realpath -m "$1")"
arch="$2"
timeout="$3"
root="$(cd "$(dirname "$0")/.." && pwd)"
case "$arch" in
  win32) loader=/usr/lib/wine/wine ;;
  win64) loader=/usr/lib/wine/wine64 ;;
esac
export WINEPREFIX="$tree/wineprefix" WINEARCH="$arch" WINEDEBUG=-all
"$root/scripts/wine-prefix.sh" "$WINEPREFIX" "$arch" || exit 1

# Xvfb picks a free display number and writes it to the file: two stages
# side by side never race for the same display.
display_file="$tree/xvfb-display"
rm -f "$display_file"
Xvfb -displayfd 5 -screen 0 1280x1024x24 -nolisten tcp 5>"$display_file" 2>"$tree/xvfb.log" &
xvfb=$!
for _ in $(seq 100); do
  [ -s "$display_file" ] && break
  sleep 0.1
done
if ! [ -s "$display_file" ]; then
  echo "Xvfb did not start:" >&2
  cat "$tree/xvfb.log" >&2
  exit 1
fi
export DISPLAY=":$(cat "$display_file")" VANTREL_WINE_SESSION=1

# One wineserver for the whole stage, and Wine's services started before
# CTest, so that those background processes inherit no pipe of CTest's,
# which would then wait for them. A persistent wineserver keeps the services
# running from one test program to the next.
/usr/lib/wine/wineserver -p
"$loader" cmd /c exit </dev/null >/dev/null 2>&1
ctest --test-dir "$tree" --output-on-failure --no-tests=error --timeout "$timeout"
status=$?
/usr/lib/wine/wineserver -k 2>/dev/null
kill "$xvfb" 2>/dev/null
wait 2>/dev/null
exit $status
