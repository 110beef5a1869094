#!/usr/bin/env bash
# The shared libraries export exactly the functions their headers declare, nothing else.
set -euo pipefail
tessomat_so=$1 quarvel_so=$2 tessomat_h=$3 quarvel_h=$4
status=0
check() {
  local so=$1 header=$2 prefix=$3 count=$4
  local exported declared
  exported=$(nm -D --defined-only "$so" | awk '{print $3}' | sort)
  declared=$(grep -oE "\b${prefix}[A-Za-z]+\(" "$header" | tr -d '(' | sort -u)
  if [ "$exported" != "$declared" ]; then
    echo "$so exports differ from $header:"; diff <(echo "$declared") <(echo "$exported") || true; status=1
  fi
  if [ "$(echo "$exported" | wc -l)" -ne "$count" ]; then
    echo "$so exports $(echo "$exported" | wc -l) functions, expected $count"; status=1
  fi
}
check "$tessomat_so" "$tessomat_h" Tsm 19
check "$quarvel_so" "$quarvel_h" Qvr 22
[ $status -eq 0 ] && echo "exports: Tessomat 19, Quarvel 22"
exit $status
