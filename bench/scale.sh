#!/usr/bin/env bash
# The whole batch analysis at the format's limit: 16,384 individuals x 30,000 retained observations
# (`velmora-cli simulate --n-indivs 16384 --n-obs 30010 --kmax 40 --groups 8 --seed 11`, 2.6 GB), beside
# `wc -w` on the same file, measured in the same run:
#   1. tree_bench: each stage (load, counts, pairwise file, seeding, merges, tree files) with its share;
#   2. velmora-cli analyze --burn-in 10: wall time and peak memory (/usr/bin/time -v), and its ratio to wc -w.
# VELMORA_BENCH_DATA: folder of the generated file (default build/bench-data); VELMORA_BENCH_FILE: an
# existing copy to use instead (used only when its size is the expected one); BUILD_DIR: another build
# folder (default: the bench preset's, configured here).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build/bench}"
[ -n "${BUILD_DIR:-}" ] || cmake --preset bench -S "$root" >/dev/null
nice -n 10 cmake --build "$build" -j2 --target velmora-cli tree_bench >/dev/null

expected_bytes=2618657680 # what simulate writes for these settings; the same seed gives the same bytes
data="${VELMORA_BENCH_DATA:-$root/build/bench-data}"
file="$data/sim_16384x30010.txt"
if [ -n "${VELMORA_BENCH_FILE:-}" ] && [ "$(stat -c %s "$VELMORA_BENCH_FILE" 2>/dev/null)" = "$expected_bytes" ]; then
    file="$VELMORA_BENCH_FILE"
elif [ "$(stat -c %s "$file" 2>/dev/null)" != "$expected_bytes" ]; then
    mkdir -p "$data"
    echo "making $file (2.6 GB) ..."
    "$build/cli/velmora-cli" simulate --n-indivs 16384 --n-obs 30010 --kmax 40 --groups 8 --seed 11 --out "$file"
fi
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT

cat "$file" >/dev/null # warm the page cache for every reader
echo "== $file: 16384 individuals x 30000 retained observations, k 1..40"
start=$(date +%s.%N)
LC_ALL=C wc -w "$file" >/dev/null
end=$(date +%s.%N)
wc_seconds=$(awk "BEGIN { print $end - $start }")
printf '  wc -w                          %8.2f s\n' "$wc_seconds"

echo "-- stage by stage (tree_bench)"
"$build/bench/tree_bench" "$file" --burn-in 10 --kmin 1 --kmax 40 --out-dir "$out" >"$out/stages.txt"
awk '/^  (load|counts|pairwise file|forest seeding|merges|tree files) / {
         name[++n] = substr($0, 3, 28); sub(/ +$/, "", name[n]); split(substr($0, 31), f, " ");
         secs[n] = f[1]; cpu[n] = f[4]; total += f[1] }
     /levels computed|merge step/ { stats = stats (stats == "" ? "" : "\n") $0 }
     END { for (i = 1; i <= n; ++i)
               printf "  %-30s %8.2f s  %5.1f%%   (processor %.2f s)\n", name[i], secs[i], 100 * secs[i] / total, cpu[i];
           printf "  %-30s %8.2f s\n%s\n", "all stages", total, stats }' "$out/stages.txt"

echo "-- whole batch tool (velmora-cli analyze --burn-in 10)"
/usr/bin/time -v "$build/cli/velmora-cli" analyze "$file" --burn-in 10 --out-dir "$out" 2>"$out/time.txt"
wall=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + p[i]; print s }' "$out/time.txt")
peak_kb=$(awk -F': ' '/Maximum resident set size/ { print $2 }' "$out/time.txt")
user=$(awk -F': ' '/User time/ { print $2 }' "$out/time.txt")
printf '  analyze                        %8.2f s  (processor %.2f s user)   peak %.2f GB\n' "$wall" "$user" \
    "$(awk "BEGIN { print $peak_kb / 1048576 }")"
printf '  analyze / wc -w                %8.1f x\n' "$(awk "BEGIN { print $wall / $wc_seconds }")"
