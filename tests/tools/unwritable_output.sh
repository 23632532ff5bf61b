#!/usr/bin/env bash
# tintora-name with its answers going to a full device (/dev/full): exit
# status 1 and one line on standard error saying so, whether the colours come
# from the arguments or from standard input, and for --help and --version.
# Usage: unwritable_output.sh PATH-TO-TINTORA-NAME
set -u
namer=$1
failures=0

check() {
  local what=$1 status=$2 err=$3
  if [[ $status -ne 1 || $err != "tintora-name: cannot write the answers" ]]; then
    echo "FAIL $what: exit status $status, standard error: '$err'"
    failures=$((failures + 1))
  else
    echo "ok   $what"
  fi
}

for args in "255,0,0" "--help" "--version"; do
  err=$("$namer" "$args" 2>&1 >/dev/full)
  check "$args" $? "$err"
done
err=$(printf '255,0,0\n0,0,255\n' | "$namer" 2>&1 >/dev/full)
check "standard input" $? "$err"

[[ $failures -eq 0 ]]
