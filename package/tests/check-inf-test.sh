#!/usr/bin/env bash
# The INF check passes the package's INF and fails each broken copy of it
# (one sed edit per case).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
check="$here/check-inf.sh"
inf="$here/varodyn.inf"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

bash "$check" "$inf" >/dev/null || { echo "FAIL: the package's INF is refused"; bash "$check" "$inf"; exit 1; }

cases=(
  "missing models section|s/^\[Varodyn.NTamd64\]/[Other.NTamd64]/"
  "no x64 models|s/^%Varodyn%=Varodyn,NTx86,NTamd64/%Varodyn%=Varodyn,NTx86/"
  "missing install section|s/^\[KV830.Install\]/[KV831.Install]/"
  "missing file section|s/^CopyFiles=TR7208.Files,Monitor.Files/CopyFiles=TR7208.Files,Missing.Files/"
  "config file not copied|s/^ConfigFile=TR722UI.dll/ConfigFile=TR722XX.dll/"
  "no language monitor|/^LanguageMonitor=/d"
  "monitor as two fields|s/^LanguageMonitor=%MonitorEntry%/LanguageMonitor=%MonitorName%,TRMON.dll/"
  "monitor string unquoted|s/^MonitorEntry=\"\(.*\)\"/MonitorEntry=\1/"
  "monitor without its DLL|s/^MonitorEntry=.*/MonitorEntry=\"Varodyn Label Monitor\"/"
  "monitor DLL not copied|s/^MonitorEntry=.*/MonitorEntry=\"Varodyn Label Monitor,TRMON2.DLL\"/"
  "no PnpLockdown|/^PnpLockdown=1/d"
  "x64 not package-aware|/^\[PrinterPackageInstallation.amd64\]/,/^PackageAware/d"
  "model without hardware id|s/^\"Varodyn KV830\"=KV830.Install,.*/\"Varodyn KV830\"=KV830.Install/"
  "file without source disk|/^TRMON.dll=1/d"
  "isolation not 2|s/^DriverIsolation=2/DriverIsolation=1/"
  "no driver version|/^DriverVer=/d"
  "undefined string|/^MonitorEntry=/d"
  "undefined hardware id string|/^VarodynKV830.Id=/d"
)
failed=0
for c in "${cases[@]}"; do
  name=${c%%|*}
  sed "${c#*|}" "$inf" > "$work/broken.inf"
  if cmp -s "$inf" "$work/broken.inf"; then echo "FAIL: case '$name' changes nothing"; failed=1; continue; fi
  if bash "$check" "$work/broken.inf" >/dev/null; then echo "FAIL: $name passes"; failed=1; else echo "ok   $name refused"; fi
done

# A staged folder: a DLL there that the INF does not install (a model built
# without its INF sections) is refused by name, the ones it installs are not.
stage="$work/stage"
mkdir -p "$stage/x86"
for f in TR722.dll TR722UI.dll KV830.dll KV830UI.dll TRMON.dll kvtool.exe TR999.dll; do : > "$stage/x86/$f"; done
out=$(bash "$check" "$inf" "$stage" x86 || true)
unlisted=$(grep 'is staged but the INF does not install it' <<<"$out" || true)
if [ "$unlisted" = "INF: x86/TR999.dll is staged but the INF does not install it" ]; then
  echo "ok   staged DLL the INF does not install refused"
else
  echo "FAIL: staged DLLs the INF does not install, reported: '$unlisted'"; failed=1
fi
exit $failed
