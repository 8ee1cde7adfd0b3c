#!/usr/bin/env bash
# stage.sh X86_BUILD AMD64_BUILD OUT_DIR
# Puts the one driver package together once both Windows builds are done:
# OUT_DIR gets the INF, the administrators' README and the x86 and amd64
# folders that each build staged (BUILD/package/stage/ARCH), is checked for
# both architectures and is zipped as OUT_DIR.zip.
set -euo pipefail
x86_build=$1
amd64_build=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)

rm -rf "$out" "$out.zip"
mkdir -p "$out"
cp "$here/varodyn.inf" "$here/README.md" "$out/"
for pair in "x86:$x86_build" "amd64:$amd64_build"; do
  arch=${pair%%:*}
  from="${pair#*:}/package/stage/$arch"
  [ -d "$from" ] || { echo "no staged $arch folder in $from: build that configuration first" >&2; exit 1; }
  cp -r "$from" "$out/$arch"
done
bash "$here/check-inf.sh" "$out/varodyn.inf" "$out"
(cd "$out" && cmake -E tar cf "../$(basename "$out").zip" --format=zip varodyn.inf README.md x86 amd64)
echo "package: $out.zip"
