#!/usr/bin/env bash
# Load speed on a 94 MB result file (1,000 individuals, 24,000 observations, made by `velmora-cli simulate`),
# each best of 5 in the same run: `cat` and `wc -w` on the file, the whole `velmora-cli analyze --no-tree
# --format legacy` (load, posterior, trajectory file) and its ratio to `wc -w`; then load_bench's load of
# the sample store alone, and the load that also hashes the file's bytes.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$root/build/bench"
cmake --preset bench -S "$root" >/dev/null
cmake --build "$build" --target velmora-cli load_bench >/dev/null

data="${TMPDIR:-/tmp}/velmora-bench"
mkdir -p "$data"
file="$data/load_1000x24000.txt"
[ -f "$file" ] || "$build/cli/velmora-cli" simulate --n-indivs 1000 --n-obs 24000 --groups 5 --kmax 30 --seed 1 --out "$file"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
cat "$file" >/dev/null  # warm the page cache for every reader

# best_of COMMAND...: the shortest wall time of 5 runs, in seconds.
best_of() {
    local times=()
    for _ in 1 2 3 4 5; do
        local start end
        start=$(date +%s.%N)
        "$@" >/dev/null
        end=$(date +%s.%N)
        times+=("$(awk "BEGIN { print $end - $start }")")
    done
    printf '%s\n' "${times[@]}" | sort -g | head -n 1
}

bytes=$(stat -c %s "$file")
cat_seconds=$(best_of cat "$file")
export LC_ALL=C
wc_seconds=$(best_of wc -w "$file")
analyze_seconds=$(best_of "$build/cli/velmora-cli" analyze "$file" --no-tree --format legacy --out-dir "$out")
printf 'file: %.1f MB\n' "$(awk "BEGIN { print $bytes / 1000000 }")"
printf 'cat                                          %.3f s\n' "$cat_seconds"
printf 'wc -w                                        %.3f s\n' "$wc_seconds"
printf 'velmora-cli analyze --no-tree --format legacy %.3f s = %.2f x wc -w\n' "$analyze_seconds" \
    "$(awk "BEGIN { print $analyze_seconds / $wc_seconds }")"

lines=$("$build/bench/load_bench" "$file" 5)
load_line=$(echo "$lines" | grep '^load:')
hashed_line=$(echo "$lines" | grep '^load with SHA-256:')
load_rate=$(echo "$load_line" | sed -E 's/.*= ([0-9.]+) MB\/s/\1/')
hashed_rate=$(echo "$hashed_line" | sed -E 's/.*= ([0-9.]+) MB\/s/\1/')
echo "$load_line"
echo "$hashed_line"
printf 'load time / wc -w time: %.2f\n' "$(awk "BEGIN { print ($bytes / 1000000 / $load_rate) / $wc_seconds }")"
printf 'load with SHA-256 / load speed ratio: %.2f\n' "$(awk "BEGIN { print $hashed_rate / $load_rate }")"
