#!/usr/bin/env bash
# Runs every fuzz target of a VLP_FUZZ build for SECONDS each, growing its
# corpus in the build tree from the seeds kept here, and prints one line per
# target with the executions it ran. Inputs that fail are left as
# crash-*/leak-*/timeout-* files in the current directory.
#   fuzz/run.sh BUILD_DIR [SECONDS] [TARGET...]
set -euo pipefail
build=$1
seconds=${2:-600}
shift $(( $# > 1 ? 2 : 1 ))
here=$(cd "$(dirname "$0")" && pwd)
targets=("$@")
if ((${#targets[@]} == 0)); then
  for exe in "$build"/fuzz/fuzz_*; do targets+=("$(basename "$exe" | sed 's/^fuzz_//')"); done
fi
# The models' build names, from the one list in cmake/.
models=$(cmake -P "$here/../cmake/Models.cmake" | cut -d' ' -f1)
[ -n "$models" ] || { echo "cmake/Models.cmake printed no models" >&2; exit 1; }
status=0
for name in "${targets[@]}"; do
  work="$build/fuzz/corpus/$name"
  mkdir -p "$work"
  # One model's build of a driver target shares the seeds and dictionary.
  base=$name
  for model in $models; do base=${base%_"$model"}; done
  dict=()
  [ -f "$here/dict/$base.dict" ] && dict=(-dict="$here/dict/$base.dict")
  log="$build/fuzz/$name.log"
  if "$build/fuzz/fuzz_$name" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -print_final_stats=1 "$work" "$here/corpus/$base" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    status=1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  cov=$(grep -o 'cov: [0-9]*' "$log" | tail -1)
  echo "$name: $result, ${runs:-?} executions, ${cov:-cov: ?}, corpus $(ls "$work" | wc -l) (log $log)"
done
exit $status
