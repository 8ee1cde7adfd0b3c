#!/usr/bin/env bash
# Developer entry point.
#   ./dev.sh main    print the bundled sample label through the driver
#   ./dev.sh test    build native, win32 and win64 and run every test
#   ./dev.sh asan    the whole suite under ASan and UBSan, with a short run of
#                    every fuzz target
#   ./dev.sh fuzz [SECONDS]  run every fuzz target longer (default 600 s each)
# Each installs whatever Debian packages are missing first.
set -euo pipefail
cd "$(dirname "$0")"

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
          binutils-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev)

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

# The x86 deliverables run under 32-bit Wine, which needs the i386
# architecture; a machine that cannot have it still runs everything else.
have_wine32() {
  if ! dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "install ok installed"; then
    install_wine32 || return 1
  fi
  # Installed is not enough: the kernel must also run 32-bit programs.
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

install_wine32() {
  local sudo=""
  [ "$(id -u)" -eq 0 ] || sudo=sudo
  {
    $sudo dpkg --add-architecture i386 &&
      $sudo apt-get update -qq &&
      DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq wine32:i386
  } >/dev/null 2>&1 || return 1
}

# smoke <build dir>: the deliverables of one Windows build, loaded and
# called under Wine.
smoke() {
  WINEPREFIX="$PWD/build/wine" WINEDEBUG=-all timeout 300 \
    wine "$1/tests/windows/windows_smoke.exe" "Z:$(pwd -P | tr / '\\')\\${1//\//\\}"
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
    build native
    ctest --preset native
    build win32
    build win64
    smoke build/win64
    if have_wine32; then
      smoke build/win32
    else
      echo "wine32 (i386) cannot be installed or run on this machine: the x86 DLLs were built but not run"
    fi
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
