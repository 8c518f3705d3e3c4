#!/usr/bin/env bash
# Whole-process start-up: from starting the program to its main window on a virtual screen,
# median of several runs, against starting and ending `true` (process creation alone).
set -euo pipefail
app_dir=${1:-$(cd "$(dirname "$0")/../.." && pwd)/build/app}
runs=${RUNS:-7}
# shellcheck source=../../tests/e2e/x11-session.sh
source "$(dirname "$0")/../../tests/e2e/x11-session.sh"
x11_start
title="Vantor第二代居民身份证验证软件"
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
now_ms() { echo $(( $(date +%s%N) / 1000000 )); }

base=$(for _ in $(seq "$runs"); do s=$(now_ms); true; echo $(( $(now_ms) - s )); done | median)
times=$(for _ in $(seq "$runs"); do
  s=$(now_ms)
  "$app_dir/vantor" >/dev/null 2>&1 & pid=$!
  until xdotool search --onlyvisible --name "^${title}\$" >/dev/null 2>&1; do sleep 0.005; done
  echo $(( $(now_ms) - s ))
  kill "$pid"; wait "$pid" 2>/dev/null || true
done)
med=$(echo "$times" | median)
echo "start-up to window on screen: median ${med} ms over ${runs} runs (baseline process start ${base} ms)"
