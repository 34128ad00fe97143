#!/usr/bin/env bash
# Turns ringfield-bench's JSON output into one chart: each stage of a frame
# at 2 bytes per pixel, per scene, timed in the frame's own order and state
# (BM_FrameStages), their sum beside the whole frames run in turn with them,
# and each beside its share of the floor. Prints the figures it
# plots as a Markdown table, so that text can quote the same ones.
#   build/bench/ringfield-bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true \
#       --benchmark_format=json --benchmark_out=bench.json
#   bash scripts/perf-chart.sh bench.json [docs/performance.svg]
# A name ending in .png gives a PNG instead of an SVG.
set -euo pipefail

json=${1:?usage: bash scripts/perf-chart.sh BENCH.json [OUT.svg]}
out=${2:-$(dirname "$0")/../docs/performance.svg}
for tool in jq gnuplot; do
  command -v "$tool" >/dev/null || { echo "perf-chart: $tool not found (bash scripts/setup.sh tests installs it)" >&2; exit 1; }
done
[ -r "$json" ] || { echo "perf-chart: cannot read $json" >&2; exit 1; }

# One CPU time in µs per benchmark: the median when repetitions were
# aggregated, else the mean of the runs.
times=$(jq -r '
  def us: .cpu_time * ({"ns": 0.001, "us": 1, "ms": 1000, "s": 1000000}[.time_unit]);
  [.benchmarks[] | select((.error_occurred // false) | not)]
  | group_by(.run_name)[]
  | (map(select(.run_type == "aggregate" and .aggregate_name == "median"))) as $median
  | (if ($median | length) > 0 then $median else map(select(.run_type == "iteration")) end) as $runs
  | select($runs | length > 0)
  | "\(.[0].run_name)\t\($runs | map(us) | add / length)",
    # The stages of BM_FrameStages are counters, in µs already.
    (.[0].run_name as $name | select($name | startswith("BM_FrameStages/"))
     | ["input+angles+animator", "fade", "view+projection", "ring drawing", "conversion", "whole frame"][] as $stage
     | "\($name):\($stage)\t\($runs | map(.[$stage]) | add / length)")' "$json" 2>/dev/null) ||
  { echo "perf-chart: $json is not ringfield-bench JSON output" >&2; exit 1; }
how=$(jq -r '
  (if any(.benchmarks[]; .run_type == "aggregate") then
     "median CPU time of \(.benchmarks[0].repetitions) runs" else "CPU time" end)
  + ", \(.context.num_cpus) CPUs at \(.context.mhz_per_cpu) MHz, \(.context.date[0:10])"' "$json" 2>/dev/null)

get() {
  local value
  value=$(awk -F'\t' -v name="$1" '$1 == name { print $2 }' <<<"$times")
  [ -n "$value" ] || { echo "perf-chart: $1 is missing from $json" >&2; exit 1; }
  echo "$value"
}

# stage label, benchmark name (SCENE stands for the scene; SUM adds up the
# stages), its share of the floor. The whole frame is the one run in turn
# with the timed stages, so that both saw the same load.
stages=(
  "input, angles, animator|BM_FrameStages/SCENE/2:input+angles+animator|"
  "fade|BM_FrameStages/SCENE/2:fade|BM_FloorPass"
  "view + projection|BM_FrameStages/SCENE/2:view+projection|"
  "ring drawing|BM_FrameStages/SCENE/2:ring drawing|"
  "conversion|BM_FrameStages/SCENE/2:conversion|BM_FloorWrite/2"
  "sum of the stages|SUM|BM_Floor/2"
  "whole frame|BM_FrameStages/SCENE/2:whole frame|BM_Floor/2"
)
stage_sum() {
  local scene=$1 total=0 part
  for part in "input+angles+animator" fade "view+projection" "ring drawing" conversion; do
    total=$(awk -v a="$total" -v b="$(get "BM_FrameStages/$scene/2:$part")" 'BEGIN { print a + b }')
  done
  echo "$total"
}
pick() {
  if [ "$1" = SUM ]; then stage_sum "$2"; else get "${1/SCENE/$2}"; fi
}

data=$(mktemp)
trap 'rm -f "$data"' EXIT
table="| stage | scene 0 | scene 1 | scene 2 | mean | floor share | mean / share |
|---|---|---|---|---|---|---|"
for stage in "${stages[@]}"; do
  IFS='|' read -r label bench share <<<"$stage"
  s0=$(pick "$bench" 0); s1=$(pick "$bench" 1); s2=$(pick "$bench" 2)
  floor=NaN
  [ -n "$share" ] && floor=$(get "$share")
  # The tick under each group: the stage, and the mean as a multiple of its share.
  ratio=$(awk -v a="$s0" -v b="$s1" -v c="$s2" -v f="$floor" \
    'BEGIN { if (f != "NaN") printf "mean %.2f × share", (a + b + c) / 3 / f; else printf " " }')
  printf '"%s"\t%s\t%s\t%s\t%s\t"%s"\n' "$label" "$s0" "$s1" "$s2" "$floor" "$ratio" >>"$data"
  table+=$'\n'$(awk -v l="$label" -v a="$s0" -v b="$s1" -v c="$s2" -v f="$floor" 'BEGIN {
    m = (a + b + c) / 3
    if (f == "NaN") printf "| %s | %.1f | %.1f | %.1f | %.1f | – | – |", l, a, b, c, m
    else printf "| %s | %.1f | %.1f | %.1f | %.1f | %.1f | %.2f × |", l, a, b, c, m, f, m / f }')
done

case "$out" in
  *.png) terminal='pngcairo size 1200,560 enhanced font "sans,11" background "white"' ;;
  *) terminal='svg size 1200,560 dynamic enhanced font "sans,13" background "white"' ;;
esac
gnuplot <<EOF
set terminal $terminal
set output "$out"
set title "ringfield: time per frame stage at 2 bytes per pixel, in the frame's order, beside its share of the floor\n{/*0.8 $how}"
set ylabel "µs of CPU per call"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.9 border -1
set boxwidth 0.9
set key top left
set grid ytics
set yrange [0:*]
set xtics nomirror
set bmargin 4
set datafile missing NaN
# Bars of a group sit 0.2 apart about its tick: four bars, a gap of one.
plot "$data" using 2:xtic(strcol(1) . "\n" . strcol(6)) title "scene 0" linecolor rgb "#d9a400", \
     "" using 3 title "scene 1" linecolor rgb "#d23c3c", \
     "" using 4 title "scene 2" linecolor rgb "#3c5ad2", \
     "" using 5 title "its share of the floor" linecolor rgb "#8c8c8c", \
     for [j=2:5] "" using (\$0 + (j - 3.5) * 0.2):j:(sprintf("%.0f", column(j))) \
        with labels offset 0,0.7 font ",11" notitle
EOF

echo "perf-chart: $out ($how; µs of CPU per call)"
echo "$table"
