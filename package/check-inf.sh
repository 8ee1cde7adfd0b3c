#!/usr/bin/env bash
# check-inf.sh INF [STAGE_DIR [ARCH]]
# Checks the driver package's INF: the version facts the spooler and the
# installer need, every section it names exists, every file it installs is
# listed for the source disks and, given a staged package (STAGE_DIR holding
# the INF's architecture folders), exists there as a PE file of that
# architecture: in the folder of ARCH (x86 or amd64), or without ARCH in
# the folders of both.
set -euo pipefail
inf=$1
stage=${2:-}
archs=${3:-x86 amd64}

fail=0
problem() { echo "INF: $*"; fail=1; }

# One "section<TAB>key<TAB>value<TAB>key as written" line per entry (a line
# without "=" has an empty value); section and first key lower-cased,
# comments and blanks dropped.
entries=$(tr -d '\r' < "$inf" | awk '
  { sub(/;.*/, ""); gsub(/^[ \t]+|[ \t]+$/, "") }
  $0 == "" { next }
  /^\[.*\]$/ { section = tolower(substr($0, 2, length($0) - 2)); print section "\t\t"; next }
  { eq = index($0, "=")
    if (eq) { key = substr($0, 1, eq - 1); value = substr($0, eq + 1) } else { key = $0; value = "" }
    gsub(/[ \t]+$/, "", key); gsub(/^[ \t]+/, "", value)
    print section "\t" tolower(key) "\t" value "\t" key }')

has_section() { grep -q "^$(echo "$1" | tr 'A-Z' 'a-z')		$" <<<"$entries"; }
value_of() { awk -F'\t' -v s="$(echo "$1" | tr 'A-Z' 'a-z')" -v k="$(echo "$2" | tr 'A-Z' 'a-z')" '$1 == s && $2 == k { print $3; exit }' <<<"$entries"; }
keys_of() { awk -F'\t' -v s="$(echo "$1" | tr 'A-Z' 'a-z')" '$1 == s && $2 != "" { print $4 }' <<<"$entries"; }
values_of() { awk -F'\t' -v s="$(echo "$1" | tr 'A-Z' 'a-z')" '$1 == s && $2 != "" { print $3 }' <<<"$entries"; }
# The LanguageMonitor value as "name|dll" when it is one field holding both:
# "Name,file.dll" in quotes, or a %string% whose value is so quoted.
# Unquoted, the comma would make two fields, which the installer does not
# read as a monitor. Empty otherwise.
monitor_entry() {
  local v=$1
  if [[ $v =~ ^%([A-Za-z0-9_.]+)%$ ]]; then v=$(value_of Strings "${BASH_REMATCH[1]}"); fi
  if [[ $v =~ ^\"[\ ]*([^\",]*[^\",\ ])[\ ]*,[\ ]*([^\",\ ]+)[\ ]*\"$ ]]; then
    echo "${BASH_REMATCH[1]}|${BASH_REMATCH[2]}"
  fi
}
split_list() { tr ',' '\n' <<<"$1" | sed 's/^[ \t]*//; s/[ \t]*$//' | grep -v '^$' || true; }

# Version facts.
[ "$(value_of Version Signature)" = '"$Windows NT$"' ] || problem "Signature must be \"\$Windows NT\$\""
[ "$(value_of Version Class)" = Printer ] || problem "Class must be Printer"
[ "$(value_of Version DriverIsolation)" = 2 ] || problem "DriverIsolation must be 2"
grep -Eq '^[0-9]{2}/[0-9]{2}/[0-9]{4},[0-9]+\.[0-9]+\.[0-9]+\.[0-9]+$' <<<"$(value_of Version DriverVer)" ||
  problem "DriverVer must be a date and a four-part version"
[ -n "$(value_of Version CatalogFile)" ] || problem "no CatalogFile"
# Package-aware drivers declare PnpLockdown=1, so that only the installer
# changes their files.
[ "$(value_of Version PnpLockdown)" = 1 ] || problem "PnpLockdown must be 1"

# Strings used are defined.
for s in $(grep -o '%[A-Za-z0-9_.]*%' "$inf" | sort -u | tr -d '%'); do
  [ -n "$(value_of Strings "$s")" ] || problem "string %$s% is not defined"
done

# Manufacturer -> models sections for both architectures -> install
# sections -> file sections.
copy_sections=()
installed_files=()
for models in $(values_of Manufacturer); do
  base=$(split_list "$models" | head -1)
  decorations=$(split_list "$models" | tail -n +2)
  for needed in NTx86 NTamd64; do
    grep -qix "$needed" <<<"$decorations" || problem "manufacturer $base has no $needed models"
  done
  for decoration in $decorations; do
    section="$base.$decoration"
    has_section "$section" || { problem "models section [$section] missing"; continue; }
    package_arch=$(tr 'A-Z' 'a-z' <<<"${decoration#NT}" | sed 's/\..*//')
    [ "$(value_of "PrinterPackageInstallation.$package_arch" PackageAware)" = TRUE ] ||
      problem "[PrinterPackageInstallation.$package_arch] must say PackageAware=TRUE"
    while IFS= read -r line; do
      install=$(split_list "$line" | head -1)
      [ -n "$(split_list "$line" | sed -n 2p)" ] || problem "a model of [$section] has no hardware id"
      has_section "$install" || { problem "install section [$install] missing"; continue; }
      copies=$(split_list "$(value_of "$install" CopyFiles)")
      [ -n "$copies" ] || problem "[$install] copies no files"
      files=""
      for c in $copies; do
        has_section "$c" || { problem "file section [$c] of [$install] missing"; continue; }
        copy_sections+=("$c")
        files+=" $(keys_of "$c" | tr '\n' ' ')"
      done
      monitor=$(monitor_entry "$(value_of "$install" LanguageMonitor)")
      monitor_dll=${monitor#*|}
      [ -n "$monitor" ] || { problem "[$install] has no LanguageMonitor=\"name,dll\" (one quoted field)"; monitor_dll=$(value_of "$install" DriverFile); }
      for named in "$(value_of "$install" DriverFile)" "$(value_of "$install" ConfigFile)" \
                   "$(value_of "$install" DataFile)" "$monitor_dll"; do
        [ -n "$named" ] || { problem "[$install] lacks a driver, config or data file"; continue; }
        grep -qiw -- "$named" <<<"$files" || problem "[$install] names $named, which it does not copy"
      done
      installed_files+=($files)
    done < <(values_of "$section")
  done
done

# Destinations and source disks of every copied file.
default_dest=$(value_of DestinationDirs DefaultDestDir)
for c in $(printf '%s\n' "${copy_sections[@]}" | sort -u); do
  [ -n "$default_dest" ] || [ -n "$(value_of DestinationDirs "$c")" ] || problem "[$c] has no destination"
done
for f in $(printf '%s\n' "${installed_files[@]}" | tr 'A-Z' 'a-z' | sort -u); do
  [ -n "$(value_of SourceDisksFiles "$f")" ] || problem "$f is not in [SourceDisksFiles]"
done

# The staged package: each architecture's files in its folder, of its
# architecture.
for arch in $archs; do
  [ -n "$stage" ] || break
  case "$arch" in
    x86) objdump=i686-w64-mingw32-objdump; want=pei-i386 ;;
    amd64) objdump=x86_64-w64-mingw32-objdump; want=pei-x86-64 ;;
    *) echo "unknown architecture $arch" >&2; exit 2 ;;
  esac
  folder=$(value_of "SourceDisksNames.$arch" 1 | awk -F, '{ print $4 }')
  [ -n "$folder" ] || { problem "no [SourceDisksNames.$arch] folder"; continue; }
  for f in $(printf '%s\n' "${installed_files[@]}" | sort -u); do
    file="$stage/$folder/$f"
    if [ ! -f "$file" ]; then problem "$f missing from the package's $folder folder"; continue; fi
    got=$($objdump -f "$file" 2>/dev/null | sed -n 's/.*file format \(.*\)/\1/p') || true
    [ "$got" = "$want" ] || problem "$folder/$f is ${got:-not a PE file}, not $want"
  done
  # Every DLL the build staged (each model's of cmake/Models.cmake, the
  # monitor) is one the INF installs: a model built without its INF
  # sections is refused, not shipped uninstallable.
  for file in "$stage/$folder"/*; do
    f=$(basename "$file")
    [[ ${f,,} == *.dll ]] || continue
    printf '%s\n' "${installed_files[@]}" | grep -qixF -- "$f" || problem "$folder/$f is staged but the INF does not install it"
  done
done

[ "$fail" = 0 ] && echo "ok $inf${stage:+ ($archs)}"
exit $fail
