#!/usr/bin/env bash
# Developer entry point.
#   ./dev.sh main    print the bundled sample label through the driver
#   ./dev.sh test    build native, win32 and win64 and run every test, then
#                    the whole suite again under ASan and UBSan with a short
#                    run of every fuzz target
#   ./dev.sh asan    only the sanitizer suite and the short fuzz runs
#   ./dev.sh fuzz [SECONDS]  run every fuzz target longer (default 600 s each)
# Each installs whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
          libfreetype-dev libzint-dev libzbar-dev fonts-dejavu-core fonts-wqy-zenhei
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
          binutils-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev
          xvfb xauth fonts-wqy-zenhei locales imagemagick libpappl-dev libjpeg-dev
          python3 cups cups-ipp-utils cups-filters ghostscript zbar-tools libtiff-dev)

ensure_packages() {
  local missing=()
  for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -eq 0 ] || sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# Without a Chinese locale Wine draws the tool's texts as boxes.
ensure_locale() {
  locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  $sudo sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | $sudo tee -a /etc/locale.gen >/dev/null
  $sudo locale-gen >/dev/null
}

# The x86 deliverables run under 32-bit Wine, which needs the i386
# architecture. Where the kernel has no 32-bit support, binfmt_misc hands
# i386 programs to QEMU's user-mode emulator instead; Wine's prelinked loader
# reserves the address space Wine expects up front, without which Wine's own
# reservation takes about a minute per process under emulation. A machine
# that can do neither still runs everything else.
have_wine32() {
  local i386=(wine32:i386 wine32-preloader:i386) p
  for p in "${i386[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" ||
      { as_root dpkg --add-architecture i386 && apt_install "${i386[@]}"; } >/dev/null 2>&1 || return 1
  done
  wine32_runs || emulate_i386 || return 1
  wine32_runs
}

wine32_runs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

emulate_i386() {
  local binfmt=/proc/sys/fs/binfmt_misc
  {
    [ -x /usr/bin/qemu-i386-static ] || apt_install qemu-user-static
    [ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
    # i386 executables and shared objects; F opens the emulator now, so the
    # registration holds in every mount namespace.
    [ -e "$binfmt/qemu-i386" ] ||
      printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
        as_root tee "$binfmt/register"
  } >/dev/null 2>&1 || return 1
  echo "this kernel runs no 32-bit programs: x86 Wine runs under QEMU user-mode emulation"
}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

apt_install() {
  as_root apt-get update -qq &&
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "$@"
}

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
  for model in TR722 KV830; do
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
    ensure_packages
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
    ensure_packages
    ensure_locale
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
    # runs no 32-bit programs. Settled before any Wine run makes the prefix.
    wine32=no
    have_wine32 && wine32=yes
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
    ensure_packages
    build native-asan
    ctest --preset native-asan
    ;;
  fuzz)
    ensure_packages
    build native-asan
    fuzz/run.sh build/native-asan "${2:-600}"
    ;;
  *)
    echo "usage: ./dev.sh main | test | asan | fuzz [SECONDS]" >&2
    exit 2
    ;;
esac
