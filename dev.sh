#!/usr/bin/env bash
# Developer entry point.
#   ./dev.sh main    print the bundled sample label through the driver
#   ./dev.sh test    build native, win32 and win64 and run every test
# Both install whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
          binutils-mingw-w64-x86-64 wine wine64 xvfb xauth fonts-wqy-zenhei locales imagemagick)

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

# The x86 Wine loader (wine32 from the i386 architecture), for running the
# x86 programs; optional: without it the x86 run is skipped with one line.
ensure_wine32() {
  dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed" && return 0
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  { $sudo dpkg --add-architecture i386 && $sudo apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq wine32:i386 >/dev/null; } 2>/dev/null || true
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
        samples/sample-label.png -o out/sample.prn
    echo "job stream: out/sample.prn"
    echo "preview:    out/sample-preview.png"
    ;;
  test)
    ensure_packages
    ensure_wine32
    ensure_locale
    build native
    ctest --preset native
    build win32
    build win64
    # The x64 deliverables, loaded and called under Wine. The 64-bit loader
    # is named directly: the "wine" wrapper prefers the x86 one when it is
    # installed.
    WINEPREFIX="$PWD/build/wine" WINEDEBUG=-all WINELOADER=/usr/lib/wine/wine64 timeout 300 \
      /usr/lib/wine/wine64 build/win64/tests/windows/windows_smoke.exe "Z:$(pwd -P | tr / '\\')\\build\\win64"
    ;;
  *)
    echo "usage: ./dev.sh main | test" >&2
    exit 2
    ;;
esac
