#!/usr/bin/env bash
# check-windows-binaries.sh BUILD_DIR pe32|pe32+
# For every Windows deliverable listed below: the file exists, has the
# expected PE format, exports exactly the names of its .def file (nothing
# for a program), imports only DLLs that ship with Windows and has a
# version resource that names it: OriginalFilename is its file name,
# InternalName that name without the extension (letter case aside) and
# FileDescription names what it is for (its model); kvtool.exe carries the
# built VRDUSBHid.dll byte for byte.
set -euo pipefail
dir=$1
format=$2
here=$(cd "$(dirname "$0")/.." && pwd)

case "$format" in
  pe32) objdump=i686-w64-mingw32-objdump; want="pei-i386" ;;
  pe32+) objdump=x86_64-w64-mingw32-objdump; want="pei-x86-64" ;;
  *) echo "unknown format $format" >&2; exit 2 ;;
esac

# deliverable file : .def listing its exports : words its FileDescription
# holds; each model's graphics driver and interface DLL come from the one
# model list (cmake/Models.cmake: build name, model name).
models=$(cmake -P "$here/cmake/Models.cmake")
binaries=()
while read -r build model; do
  binaries+=("driver/$build.dll:driver/driver.def:$model graphics driver")
done <<<"$models"
while read -r build model; do
  binaries+=("driverui/${build}UI.dll:driverui/driverui.def:$model interface")
done <<<"$models"
binaries+=(
  "monitor/TRMON.dll:monitor/TRMON.def:language monitor"
  "hidlink/VRDUSBHid.dll:hidlink/VRDUSBHid.def:HID link"
)
binaries+=("tool/ui/win32/kvtool.exe::KV830 configuration tool")

system_dlls="kernel32.dll user32.dll gdi32.dll winspool.drv advapi32.dll msvcrt.dll shell32.dll comctl32.dll
comdlg32.dll setupapi.dll hid.dll ole32.dll oleaut32.dll version.dll shlwapi.dll ntdll.dll"

fail=0
for entry in "${binaries[@]}"; do
  bin="$dir/${entry%%:*}"
  failed_before=$fail
  fail=0
  rest=${entry#*:}
  def=${rest%%:*}
  described=${rest#*:}
  if [ ! -f "$bin" ]; then echo "MISSING $bin"; fail=1; continue; fi
  got=$($objdump -f "$bin" | sed -n 's/.*file format \(.*\)/\1/p')
  if [ "$got" != "$want" ]; then echo "FORMAT $bin: $got, want $want"; fail=1; fi
  exports=$($objdump -p "$bin" | awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[ \t]*\[/{print $NF;next} t&&!/^[ \t]*\[/{t=0}' | sort)
  expected=""
  [ -z "$def" ] || expected=$(awk 'toupper($1)=="EXPORTS"{e=1;next} e&&NF{print $1}' "$here/$def" | sort)
  if [ "$exports" != "$expected" ]; then
    echo "EXPORTS $bin:"; diff <(echo "$expected") <(echo "$exports") || true; fail=1
  fi
  for dll in $($objdump -p "$bin" | sed -n 's/^\s*DLL Name: //p' | tr 'A-Z' 'a-z'); do
    case " $(echo $system_dlls) " in
      *" $dll "*) ;;
      *) echo "IMPORT $bin: $dll is not a system DLL"; fail=1 ;;
    esac
  done
  strings=$(perl "$here/cmake/pe-resource.pl" "$bin" '#16' '#1' | perl "$here/cmake/version-strings.pl" || true)
  version() { sed -n "s/^$1=//p" <<<"$strings" | head -1; }
  name=$(basename "$bin")
  original=$(version OriginalFilename)
  internal=$(version InternalName)
  description=$(version FileDescription)
  [ "${original,,}" = "${name,,}" ] || { echo "VERSION $bin: OriginalFilename is '$original'"; fail=1; }
  stem=${name%.*}
  [ "${internal,,}" = "${stem,,}" ] || { echo "VERSION $bin: InternalName is '$internal'"; fail=1; }
  for word in $described; do
    grep -qiw -- "$word" <<<"$description" || { echo "VERSION $bin: FileDescription '$description' does not say $word"; fail=1; }
  done
  [ "$fail" = 1 ] || echo "ok $bin ($want; exports: $(echo $exports); version: $original, $internal, \"$description\")"
  [ "$failed_before" = 0 ] || fail=1
done
# The library inside the tool is the one built beside it.
tool="$dir/tool/ui/win32/kvtool.exe"
library="$dir/hidlink/VRDUSBHid.dll"
if [ -f "$tool" ] && perl "$here/cmake/pe-resource.pl" "$tool" dll rc_VRDUSBHid | cmp -s - "$library"; then
  echo "ok $tool embeds $library ($(stat -c %s "$library") bytes) as rc_VRDUSBHid"
else
  echo "EMBED $tool: resource rc_VRDUSBHid of type dll differs from $library"; fail=1
fi
exit $fail
