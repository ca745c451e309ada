#!/usr/bin/env bash
# Decodes every WAV file the rip test listed with sox and compares what sox reads from it
# (channels, rate, bits, samples per channel) with the test's expectations.
set -u
list=$1
[ -s "$list" ] || { echo "no expectations in $list"; exit 1; }
status=0
while read -r path channels rate bits samples; do
  got="$(soxi -c "$path") $(soxi -r "$path") $(soxi -b "$path") $(soxi -s "$path")"
  if [ "$got" != "$channels $rate $bits $samples" ]; then
    echo "FAIL $path: sox reads '$got', expected '$channels $rate $bits $samples'"
    status=1
  elif ! sox "$path" -n stat >/dev/null 2>&1; then
    echo "FAIL $path: sox cannot decode it"
    status=1
  else
    echo "ok   $path ($got)"
  fi
done < "$list"
exit $status
