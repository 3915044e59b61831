#!/usr/bin/env bash
# The hash list tests/golden/outputs.sha256: the SHA-256 of the trace, the WAV and the PNG that
# the headless runner writes for every golden session (tests/golden/*.scn) and every scenario
# (tests/scenarios/*.scn), one line each ("HASH  golden/NAME.trace"), in the form sha256sum
# reads. The same run gives the same bytes on every target, so one list holds for all.
#
#   tests/golden/outputs.sh check TARGET RUNNER [ARG...]   compares the runner's outputs with
#       the list; each difference names the file and the target; exit 1 on any
#   tests/golden/outputs.sh write RUNNER [ARG...]          rewrites the list (scripts/update-golden)
#
# RUNNER [ARG...] is the command that runs the headless runner: a native build, `wine X.exe`,
# `node --no-experimental-fetch X.js`.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
list=$root/tests/golden/outputs.sha256
usage() {
  echo "usage: $0 check TARGET RUNNER [ARG...] | $0 write RUNNER [ARG...]" >&2
  exit 2
}
[ $# -ge 1 ] || usage
mode=$1; shift
case $mode in
  check) [ $# -ge 2 ] || usage; target=$1; shift ;;
  write) [ $# -ge 1 ] || usage; target=write ;;
  *) usage ;;
esac
runner=("$@")
case ${runner[0]} in */*) runner[0]=$(realpath "${runner[0]}") ;; esac  # run from elsewhere

out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
failed=0
: >"$out/found"
for script in "$root"/tests/golden/*.scn "$root"/tests/scenarios/*.scn; do
  dir=$(basename "$(dirname "$script")")
  name=$dir/$(basename "$script" .scn)
  mkdir -p "$out/$dir"
  set +e
  (cd "$out" && "${runner[@]}" --script "$script" --trace "$name.trace" --wav "$name.wav" \
     --screenshot "$name.png" >"$name.out" 2>&1)
  code=$?
  set -e
  if [ $code -ne 0 ]; then
    echo "FAIL $name.scn on $target: the runner exited $code"
    sed 's/^/  /' "$out/$name.out" | head -5
    failed=1
  fi
  for kind in trace wav png; do
    if [ -f "$out/$name.$kind" ]; then
      echo "$(sha256sum <"$out/$name.$kind" | cut -d' ' -f1)  $name.$kind" >>"$out/found"
    else
      echo "MISSING  $name.$kind" >>"$out/found"
    fi
  done
done
LC_ALL=C sort -k2 "$out/found" -o "$out/found"

if [ "$mode" = write ]; then
  [ $failed -eq 0 ] || { echo "not written: a run failed" >&2; exit 1; }
  cp "$out/found" "$list"
  echo "Wrote $list ($(wc -l <"$list") files)."
  exit 0
fi

[ -f "$list" ] || { echo "FAIL $list is missing: run scripts/update-golden"; exit 1; }
# Every file of the list and every file found, each compared by its name.
while read -r file; do
  want=$(awk -v f="$file" '$2 == f { print $1 }' "$list")
  got=$(awk -v f="$file" '$2 == f { print $1 }' "$out/found")
  if [ -z "$want" ]; then
    echo "FAIL $file on $target: not in tests/golden/outputs.sha256 (run scripts/update-golden)"
    failed=1
  elif [ -z "$got" ]; then
    echo "FAIL $file on $target: in tests/golden/outputs.sha256 but its script is gone"
    failed=1
  elif [ "$got" = MISSING ]; then
    echo "FAIL $file on $target: the runner did not write it"
    failed=1
  elif [ "$want" != "$got" ]; then
    echo "FAIL $file on $target: SHA-256 $got, the list has $want"
    failed=1
  fi
done < <(cut -c67- "$list" "$out/found" | LC_ALL=C sort -u)
if [ $failed -eq 0 ]; then
  echo "outputs on $target: all $(wc -l <"$list") files as in tests/golden/outputs.sha256"
fi
exit $failed
