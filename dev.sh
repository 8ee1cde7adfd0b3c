#!/usr/bin/env bash
# Developer entry point.
#   ./dev.sh main    print the bundled sample label through the driver
#   ./dev.sh test    build native, win32 and win64 and run every test, then
#                    the whole suite again under ASan and UBSan with a short
#                    run of every fuzz target
#   ./dev.sh asan    only the sanitizer suite and the short fuzz runs
#   ./dev.sh fuzz [SECONDS]  run every fuzz target longer (default 600 s each)
# Each first sets up what the machine is missing (cmake/setup-machine.sh:
# the Debian packages; for the test command also the locale and 32-bit Wine).
set -euo pipefail
cd "$(dirname "$0")"

# The Wine loader for 64- or 32-bit programs (Debian keeps them beside each
# other; the wine script itself picks the 32-bit one whenever installed).
wine_loader() {
  if [ "$1" = 64 ]; then
    command -v wine64 2>/dev/null || echo /usr/lib/wine/wine64
  else
    echo /usr/lib/wine/wine
  fi
}

# The build folder's Wine prefix, shared by every Wine run of the test
# command. Wine gives a prefix its 32-bit half (syswow64) only when 32-bit
# Wine is installed as the prefix is made, and no later update adds it; a
# prefix made before 32-bit Wine came is made again.
wine_prefix() {
  local prefix="$PWD/build/wine" wine32=$1
  if [ "$wine32" = yes ] && [ -d "$prefix/drive_c/windows/system32" ] &&
      [ -z "$(ls -A "$prefix/drive_c/windows/syswow64" 2>/dev/null)" ]; then
    echo "the Wine prefix has no 32-bit half: making it again"
    rm -rf "$prefix"
  fi
}

# The Windows deliverables of one build under Wine: each loaded and called,
# the staged package's INF read through SetupAPI, then each model's driver
# and interface DLL installed in Wine's spooler and used by an application.
wine_checks() {
  local build=$1 loader=$2
  local dir="Z:$(pwd -P | tr / '\\')\\build\\$build"
  local package="Z:$(pwd -P | tr / '\\')\\dist\\varodyn-label-printers"
  export WINEPREFIX="$PWD/build/wine" WINEDEBUG=-all
  timeout 300 "$loader" "build/$build/tests/windows/windows_smoke.exe" "$dir"
  timeout 300 "$loader" "build/$build/tests/windows/inf_check.exe" "$package"
  # The client runs the property pages as dialogs, so on a virtual screen,
  # once in each language of the interface DLL. A wineserver still running
  # from a run without a screen would give it no desktop to draw on.
  timeout 30 wineserver -k || true
  # The models' build names (TR722, ...) come from the one list in cmake/.
  local models
  models=$(cmake -P cmake/Models.cmake | cut -d' ' -f1)
  [ -n "$models" ] || { echo "cmake/Models.cmake printed no models" >&2; return 1; }
  for model in $models; do
    for lang in en_US.UTF-8 zh_CN.UTF-8; do
      LANG=$lang LC_ALL=$lang timeout 300 xvfb-run -a -s "-screen 0 1024x768x24" \
        "$loader" "build/$build/tests/windows/ui_client_$model.exe" "$dir"
    done
  done
}

build() {
  cmake --preset "$1" >/dev/null
  cmake --build --preset "$1"
}

case "${1:-}" in
  main)
    bash cmake/setup-machine.sh
    build native
    mkdir -p out
    ./build/native/apps/labelprint --model TR7208 --preview out/sample-preview.png \
        --box 1,1,102,51,0.5 \
        --text '4,3,5,"Varodyn 热敏标签 Label"' \
        --barcode '4,11,code128,"VRD-2026-0042"' \
        --line 4,23.5,66,23.5,0.4 \
        --text '4,25,3,"Lot 42 · 2026-12-10"' \
        --barcode '72,11,qr,"https://varodyn.example/label/0042"' \
        --image-box 4,30,62,19 samples/sample-label.png -o out/sample.prn
    echo "job stream: out/sample.prn"
    echo "preview:    out/sample-preview.png"
    ;;
  test)
    bash cmake/setup-machine.sh --wine
    build native
    ctest --preset native
    build win32
    build win64
    # What each shipped binary is: format, exports, imports, resources.
    bash cmake/check-windows-binaries.sh build/win32 pe32
    bash cmake/check-windows-binaries.sh build/win64 pe32+
    # The one package of both architectures, put together and checked.
    bash package/stage.sh build/win32 build/win64 dist/varodyn-label-printers
    # x86 needs the 32-bit loader: natively, or emulated where the kernel
    # runs no 32-bit programs (set up above). Settled before any Wine run
    # makes the prefix.
    wine32=no
    /usr/lib/wine/wine --version >/dev/null 2>&1 && wine32=yes
    wine_prefix "$wine32"
    wine_checks win64 "$(wine_loader 64)"
    if [ "$wine32" = yes ]; then
      wine_checks win32 "$(wine_loader 32)"
    else
      echo "wine32 (i386) cannot be installed or run on this machine: the x86 DLLs were built but not run"
    fi
    # kvtool.exe itself on a virtual screen, x64 and, where 32-bit Wine runs, x86.
    bash tool/ui/win32/tests/run-under-wine.sh build win64
    if [ "$wine32" = yes ]; then bash tool/ui/win32/tests/run-under-wine.sh build win32; fi
    # The native suite once more under AddressSanitizer and
    # UndefinedBehaviorSanitizer, with a short fixed run of every fuzz target.
    build native-asan
    ctest --preset native-asan
    ;;
  asan)
    bash cmake/setup-machine.sh
    build native-asan
    ctest --preset native-asan
    ;;
  fuzz)
    bash cmake/setup-machine.sh
    build native-asan
    fuzz/run.sh build/native-asan "${2:-600}"
    ;;
  *)
    echo "usage: ./dev.sh main | test | asan | fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
