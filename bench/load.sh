#!/usr/bin/env bash
# Load speed of the sample store against `wc -w` on the same 100 MB result file (1,000 individuals, 24,000
# observations, made by `velmora-cli simulate`), best of 5; and the load that also hashes the file's bytes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/bench"
cmake --preset bench -S "$root" >/dev/null
cmake --build "$build" --target velmora-cli load_bench >/dev/null

data="${TMPDIR:-/tmp}/velmora-bench"
mkdir -p "$data"
file="$data/load_1000x24000.txt"
[ -f "$file" ] || "$build/cli/velmora-cli" simulate --n-indivs 1000 --n-obs 24000 --groups 5 --kmax 30 --seed 1 --out "$file"
cat "$file" >/dev/null  # warm the page cache for both readers

bytes=$(stat -c %s "$file")
start=$(date +%s.%N)
LC_ALL=C wc -w "$file" >/dev/null
end=$(date +%s.%N)
wc_seconds=$(awk "BEGIN { print $end - $start }")
wc_rate=$(awk "BEGIN { print $bytes / 1000000 / $wc_seconds }")

lines=$("$build/bench/load_bench" "$file" 5)
load_line=$(echo "$lines" | grep '^load:')
hashed_line=$(echo "$lines" | grep '^load with SHA-256:')
load_rate=$(echo "$load_line" | sed -E 's/.*= ([0-9.]+) MB\/s/\1/')
hashed_rate=$(echo "$hashed_line" | sed -E 's/.*= ([0-9.]+) MB\/s/\1/')

printf 'wc -w: %.1f MB in %.3f s = %.0f MB/s\n' "$(awk "BEGIN { print $bytes / 1000000 }")" "$wc_seconds" "$wc_rate"
echo "$load_line"
echo "$hashed_line"
printf 'load / wc -w speed ratio: %.2f\n' "$(awk "BEGIN { print $load_rate / $wc_rate }")"
printf 'load with SHA-256 / load speed ratio: %.2f\n' "$(awk "BEGIN { print $hashed_rate / $load_rate }")"
