#!/usr/bin/env bash
# run-under-wine.sh BUILD_DIR ARCH  (ARCH: win64 or win32)
# Runs the real kvtool.exe of BUILD_DIR under Wine on a virtual X screen and
# checks it with kvtool_wine_check.exe (see wine_check.cpp): a queue of the
# driver "Varodyn KV830" whose port appends every job to a file, the main
# window and its texts, the failed first read, one setting job's bytes, and
# the INI file and library written beside the program; then, with a second
# queue, the printer selection dialog. Leaves PNGs of the screen in
# BUILD_DIR/wine-kvtool/. Every step is time-limited.
set -euo pipefail
build=$(cd "$1" && pwd -P)
arch=$2
here=$(cd "$(dirname "$0")" && pwd -P)

case "$arch" in
  win64) loader=/usr/lib/wine/wine64; export WINELOADER=$loader ;;
  win32) loader=/usr/lib/wine/wine ;;
  *) echo "unknown architecture $arch" >&2; exit 2 ;;
esac

# The build folder's Wine prefix (the one the smoke test uses); the x86
# program runs in this 64-bit prefix as well.
export WINEPREFIX="$build/wine" WINEDEBUG=-all
# Without a Chinese locale Wine draws the Chinese texts as boxes, and the
# ANSI code page the tool works in is GBK.
export LANG=zh_CN.UTF-8 LC_ALL=zh_CN.UTF-8
winpath() { echo "Z:$(echo "$1" | tr / '\\')"; }

# KVTOOL_WINE_DPI=120 (or 144, ...) runs the tool at that display DPI, with
# its own output folder, and sets the shared prefix back to 96 afterwards.
dpi=${KVTOOL_WINE_DPI:-96}
out="$build/wine-kvtool/$arch"
if [ "$dpi" != 96 ]; then out="$out-dpi$dpi"; fi
rm -rf "$out"
mkdir -p "$out"
cp "$build/$arch/tool/ui/win32/kvtool.exe" "$out/"
port="$out/Ne00.prn"

# Prefix settings (virtual desktop, Chinese fonts) take effect for processes
# started after a fresh wineserver.
# Wine reads .reg files as UTF-16 when they start with its byte-order mark.
logpixels() {
  printf '\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n' "$1"
  printf '\n[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:%08x\n' "$1"
  printf '\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts]\n"LogPixels"=dword:%08x\n' "$1"
}
{ printf '\xff\xfe'; { cat "$here/wine-prefix.reg"; logpixels "$dpi"; } | iconv -f UTF-8 -t UTF-16LE; } > "$out/prefix.reg"
WINELOADER=/usr/lib/wine/wine64 timeout 120 /usr/lib/wine/wine64 regedit /S "$(winpath "$out/prefix.reg")"
timeout 30 wineserver -k || true

check="$build/$arch/tool/ui/win32/kvtool_wine_check.exe"
status=0
# After the main run, a second queue (port file Ne01.prn) makes the next
# start ask for the printer first: the selection dialog's step.
xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
  timeout 120 "$0" "$1" setup "|cat >> $2" || exit 1
  result=0
  timeout 180 "$0" "$1" run "$3" "$4" "$5" "$6" || result=1
  timeout 120 "$0" "$1" select "|cat >> $7" "$3" "$6" || result=1
  exit $result
' "$loader" "$check" "$port" "$(winpath "$out/kvtool.exe")" "$(winpath "$port")" \
  "$(winpath "$build/$arch/hidlink/VRDUSBHid.dll")" "$(winpath "$out/screen.bmp")" "$out/Ne01.prn" || status=$?
timeout 30 wineserver -k || true
if [ "$dpi" != 96 ]; then
  # The prefix is shared with the other Wine checks: back to 96 dpi.
  { printf '\xff\xfe'; { echo "Windows Registry Editor Version 5.00"; logpixels 96; } | iconv -f UTF-8 -t UTF-16LE; } > "$out/dpi96.reg"
  WINELOADER=/usr/lib/wine/wine64 timeout 120 /usr/lib/wine/wine64 regedit /S "$(winpath "$out/dpi96.reg")" || status=$?
  timeout 30 wineserver -k || true
fi
for bmp in "$out"/screen*.bmp; do
  [ -f "$bmp" ] || continue
  convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
  echo "screenshot: ${bmp%.bmp}.png"
done
exit $status
