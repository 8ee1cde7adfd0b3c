#!/usr/bin/env bash
# Machine set-up for building and testing this tree on Debian; ./dev.sh
# runs it before each command. Safe to run again at any time: what is in
# place is left as it is, and root (through sudo when not root) is used only
# to change something.
#   setup-machine.sh         the Debian packages of every build and test
#   setup-machine.sh --wine  also what the Windows builds' runs under Wine
#                            need: the Chinese locale and 32-bit Wine
# 32-bit Wine is set up where it can be: a machine that runs it neither
# natively nor under emulation still builds and runs everything else, and
# the test command says so.
set -euo pipefail

packages=(cmake ninja-build g++ pkg-config libgtest-dev libgmock-dev libbenchmark-dev libpng-dev
          libfreetype-dev libzint-dev libzbar-dev fonts-dejavu-core fonts-wqy-zenhei
          g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-i686
          binutils-mingw-w64-x86-64 wine wine64 clang libclang-rt-14-dev
          xvfb xauth locales imagemagick libpappl-dev libjpeg-dev
          python3 cups cups-ipp-utils cups-filters ghostscript zbar-tools libtiff-dev
          chromium chromium-driver python3-selenium iproute2)
# 32-bit Wine, from the i386 architecture.
wine32_packages=(wine32:i386 wine32-preloader:i386)
# The i386 user-mode emulator, for kernels that run no 32-bit programs.
emulator_packages=(qemu-user-static)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

# Installs those of the given packages that are missing.
apt_install() {
  local missing=() p
  for p in "$@"; do
    installed "$p" || missing+=("$p")
  done
  ((${#missing[@]})) || return 0
  echo "installing: ${missing[*]}"
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
}

# Without a Chinese locale Wine draws the tool's texts as boxes.
ensure_locale() {
  locale -a 2>/dev/null | grep -qix 'zh_CN.utf8' && return 0
  echo "generating the zh_CN.UTF-8 locale"
  as_root sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^zh_CN.UTF-8 UTF-8' /etc/locale.gen || echo 'zh_CN.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null
  as_root locale-gen >/dev/null
}

# The x86 deliverables run under 32-bit Wine, which needs the i386
# architecture. Where the kernel has no 32-bit support, binfmt_misc hands
# i386 programs to QEMU's user-mode emulator instead; Wine's prelinked loader
# reserves the address space Wine expects up front, without which Wine's own
# reservation takes about a minute per process under emulation.
ensure_wine32() {
  {
    dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
    apt_install "${wine32_packages[@]}"
  } >/dev/null 2>&1 || return 1
  wine32_runs || emulate_i386 || return 1
  wine32_runs
}

wine32_runs() {
  /usr/lib/wine/wine --version >/dev/null 2>&1
}

emulate_i386() {
  local binfmt=/proc/sys/fs/binfmt_misc
  {
    apt_install "${emulator_packages[@]}"
    [ -e "$binfmt/register" ] || as_root mount -t binfmt_misc binfmt_misc "$binfmt"
    # i386 executables and shared objects; F opens the emulator now, so the
    # registration holds in every mount namespace.
    [ -e "$binfmt/qemu-i386" ] ||
      printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
        as_root tee "$binfmt/register"
  } >/dev/null 2>&1 || return 1
  echo "this kernel runs no 32-bit programs: x86 Wine runs under QEMU user-mode emulation"
}

case "${1:-}" in
  "") apt_install "${packages[@]}" ;;
  --wine)
    apt_install "${packages[@]}"
    ensure_locale
    ensure_wine32 || echo "32-bit Wine (i386) cannot be installed or run on this machine"
    ;;
  *)
    echo "usage: $0 [--wine]" >&2
    exit 2
    ;;
esac
