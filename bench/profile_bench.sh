#!/usr/bin/env bash
# Times LoadBindings and SaveBindings on a generated settings file of
# SIZE_MB megabytes (default 100) in a temp directory. Builds its own small
# program from the settings-file sources with the system C++ compiler.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
size="${1:-100}"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
c++ -std=c++20 -O2 -I"$root" -I"$root/shell/linux" -o "$work/profile_bench" "$root/bench/profile_bench.cpp" \
    "$root/keyconfig/key_bindings.cpp" "$root/shell/linux/profile/profile_file.cpp" \
    "$root/shell/linux/last_error.cpp" "$root/shell/linux/text_utf8.cpp"
cd "$work" && ./profile_bench "$size"
