#!/usr/bin/env bash
# Time and peak memory of the make-tree work on simulated runs of 1,000 individuals x 10,000 retained
# observations and 5,000 x 20,000 (burn-in 10, k 1..30, 5 planted groups), pinned to one core:
# first stage by stage (tree_bench: load, counts, pairwise file, seeding, merges, tree files), then the
# whole batch tool run (velmora-cli analyze: load, posterior, trajectory, counts, all tree files).
# BUILD_DIR picks another build folder (default: the bench preset's, configured here). BASELINE: another
# build's velmora-cli; then each size also gives the whole analyze, best of 5, of that build and of this one
# (both on every core), and their ratio.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${BUILD_DIR:-$root/build/bench}"
[ -n "${BUILD_DIR:-}" ] || cmake --preset bench -S "$root" >/dev/null
cmake --build "$build" --target velmora-cli tree_bench >/dev/null

one_core=()
command -v taskset >/dev/null && one_core=(taskset -c 0)
data="${TMPDIR:-/tmp}/velmora-bench"
out="$(mktemp -d)"
trap 'rm -rf "$out"' EXIT
mkdir -p "$data"

for size in "1000 10000" "5000 20000"; do
    read -r n kept <<<"$size"
    file="$data/tree_${n}x${kept}.txt"
    [ -f "$file" ] || "$build/cli/velmora-cli" simulate --n-indivs "$n" --n-obs $((kept + 10)) --groups 5 --kmax 30 \
        --seed 1 --out "$file"
    cat "$file" >/dev/null  # warm the page cache
    echo "== $n individuals x $kept retained observations"
    "${one_core[@]}" "$build/bench/tree_bench" "$file" --burn-in 10 --kmin 1 --kmax 30 --out-dir "$out"
    /usr/bin/time -f "  velmora-cli analyze             %e s (user %U s, system %S s)   peak %M KB" \
        "${one_core[@]}" "$build/cli/velmora-cli" analyze "$file" --burn-in 10 --kmin 1 --kmax 30 --out-dir "$out"
    if [ -n "${BASELINE:-}" ]; then
        for which in baseline this; do
            cli="$build/cli/velmora-cli"
            [ "$which" = baseline ] && cli="$BASELINE"
            best=""
            for _ in 1 2 3 4 5; do
                start=$(date +%s.%N)
                "$cli" analyze "$file" --burn-in 10 --kmin 1 --kmax 30 --out-dir "$out" >/dev/null 2>&1
                end=$(date +%s.%N)
                best=$(printf '%s\n%s\n' "$best" "$(awk "BEGIN { print $end - $start }")" | grep . | sort -g | head -n 1)
            done
            printf '  analyze, best of 5, %-8s  %8.2f s\n' "$which" "$best"
            [ "$which" = baseline ] && baseline_best=$best
        done
        printf '  this / baseline                 %8.2f\n' "$(awk "BEGIN { print $best / $baseline_best }")"
    fi
done
