#!/usr/bin/env bash
# Times LoadBindings and SaveBindings, and measures the peak memory they add,
# on generated settings files of each SIZE in MB (default 1 10 25 50 100) in
# a temp directory, then prints time and memory per MB for each size: equal
# figures per MB mean growth in proportion to the file. Builds its own small
# program from the settings-file sources with the system C++ compiler.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(1 10 25 50 100)
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
c++ -std=c++20 -O2 -I"$root" -I"$root/shell/linux" -o "$work/profile_bench" "$root/bench/profile_bench.cpp" \
    "$root/keyconfig/key_bindings.cpp" "$root/shell/linux/profile/profile_file.cpp" \
    "$root/shell/linux/last_error.cpp" "$root/shell/linux/text_utf8.cpp"
cd "$work"
printf '%8s %9s %9s %12s %12s\n' "file MB" "load s" "save s" "load +MB" "save +MB"
results="$work/results"
for size in "${sizes[@]}"; do
    ./profile_bench "$size" | tee -a "$results"
    rm -f keyconfig.ini
done
echo
printf '%8s %12s %12s %14s\n' "file MB" "load ms/MB" "save ms/MB" "peak MB/MB"
awk '{ printf "%8d %12.2f %12.2f %14.2f\n", $1, 1000 * $2 / $1, 1000 * $3 / $1, $5 / $1 }' "$results"
