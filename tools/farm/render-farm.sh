#!/usr/bin/env bash
# Renders a frame range of the production on a Slurm cluster: a job array of N
# tarvo-render shards, then a dependent job that gathers the shards' hash lists,
# checks that every listed PNG is there and encodes the video.
#
#   render-farm.sh --production DIR --frames A:B --fps F --size WxH --shards N
#                  --out DIR --video FILE.mp4 [--renderer PATH] [--partition P]
#
# DIR, OUT, the video's folder and the renderer must be reachable under the same
# paths on every compute node (a shared file system). Prints the two job ids.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: render-farm.sh --production DIR --frames A:B --fps F --size WxH --shards N
                      --out DIR --video FILE.mp4 [--renderer PATH] [--partition P]

Submits a Slurm job array of N tasks; task I renders the I-th of N contiguous
pieces of frames [A, B) into OUT/frames and writes OUT/hashes/shard-I.txt. A job
that starts when every task has succeeded writes OUT/hashes.txt (all shards'
lines, sorted by frame), checks that each listed PNG exists and encodes the
frames with the soundtrack into FILE.mp4. Logs go to OUT/logs.

  --production DIR  folder holding demosrc/norde; the renderer runs there
  --renderer PATH   tarvo-render to run (default: build/tarvo-render of this checkout)
  --partition P     Slurm partition (default: the cluster's default partition)
EOF
}

die() {
  printf 'render-farm.sh: %s\n' "$*" >&2
  exit 2
}

script_dir="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
production="" frames="" fps="" size="" shards="" out="" video=""
renderer="$script_dir/../../build/tarvo-render"
partition=""

while [ $# -gt 0 ]; do
  case "$1" in
    --help|-h) usage; exit 0 ;;
    --production|--frames|--fps|--size|--shards|--out|--video|--renderer|--partition)
      [ $# -ge 2 ] || die "$1 needs a value"
      case "$1" in
        --production) production="$2" ;;
        --frames) frames="$2" ;;
        --fps) fps="$2" ;;
        --size) size="$2" ;;
        --shards) shards="$2" ;;
        --out) out="$2" ;;
        --video) video="$2" ;;
        --renderer) renderer="$2" ;;
        --partition) partition="$2" ;;
      esac
      shift 2 ;;
    *) usage >&2; die "unknown argument: $1" ;;
  esac
done

for name in production frames fps size shards out video; do
  [ -n "${!name}" ] || { usage >&2; die "--$name is missing"; }
done
[[ "$frames" =~ ^([0-9]+):([0-9]+)$ ]] || die "--frames must be A:B, got '$frames'"
first=$((10#${BASH_REMATCH[1]}))
end=$((10#${BASH_REMATCH[2]}))
[ "$first" -lt "$end" ] || die "--frames A:B needs A < B, got '$frames'"
[[ "$fps" =~ ^[1-9][0-9]*$ ]] || die "--fps must be a positive whole number, got '$fps'"
[[ "$size" =~ ^[1-9][0-9]*x[1-9][0-9]*$ ]] || die "--size must be WxH, got '$size'"
[[ "$shards" =~ ^[1-9][0-9]*$ ]] || die "--shards must be a positive whole number, got '$shards'"
[ "$shards" -le $((end - first)) ] || die "--shards $shards is more than the $((end - first)) frames"
case "$video" in *.mp4) ;; *) die "--video must name an .mp4 file, got '$video'" ;; esac
command -v sbatch >/dev/null || die "sbatch not found (is this a Slurm submit host?)"

# Every path handed to the jobs is absolute: the jobs run in the production folder.
[ -d "$production/demosrc/norde" ] || die "no demosrc/norde in '$production'"
production="$(cd "$production" && pwd)"
if [[ "$renderer" != */* ]]; then
  renderer="$(command -v "$renderer")" || die "renderer '$renderer' not found on the PATH"
fi
if [ ! -f "$renderer" ] || [ ! -x "$renderer" ]; then
  die "renderer '$renderer' is not an executable file"
fi
renderer="$(cd "$(dirname "$renderer")" && pwd)/$(basename "$renderer")"
mkdir -p "$out"
out="$(cd "$out" && pwd)"
mkdir -p "$(dirname "$video")"
video="$(cd "$(dirname "$video")" && pwd)/$(basename "$video")"

frames_dir="$out/frames"
hashes_dir="$out/hashes"
jobs_dir="$out/jobs"
logs_dir="$out/logs"
mkdir -p "$frames_dir" "$hashes_dir" "$jobs_dir" "$logs_dir"
# Results of an earlier run must not pass for this run's.
rm -f "$out/hashes.txt" "$hashes_dir"/shard-*.txt

# Writes NAME=VALUE lines that bash reads back as exactly VALUE.
assignments() {
  while [ $# -gt 0 ]; do
    printf '%s=%q\n' "$1" "$2"
    shift 2
  done
}

render_job="$jobs_dir/render.sh"
{
  printf '#!/usr/bin/env bash\n'
  printf '# Renders shard SLURM_ARRAY_TASK_ID of %s frames %s (written by render-farm.sh).\n' \
    "$shards" "$frames"
  printf 'set -euo pipefail\n'
  assignments renderer "$renderer" production "$production" frames_dir "$frames_dir" \
    hashes_dir "$hashes_dir" frames "$frames" fps "$fps" size "$size" shards "$shards"
  cat <<'EOF'
shard="${SLURM_ARRAY_TASK_ID:?this script runs as a task of a Slurm job array}"
cd "$production"
exec "$renderer" --output "$frames_dir" --frames "$frames" --fps "$fps" --size "$size" \
  --shard "$shard/$shards" --hashes "$hashes_dir/shard-$shard.txt"
EOF
} >"$render_job"

finish_job="$jobs_dir/finish.sh"
{
  printf '#!/usr/bin/env bash\n'
  printf '# Gathers the shards of frames %s and encodes the video (written by render-farm.sh).\n' \
    "$frames"
  printf 'set -euo pipefail\n'
  assignments renderer "$renderer" production "$production" out "$out" frames_dir "$frames_dir" \
    hashes_dir "$hashes_dir" video "$video" frames "$frames" fps "$fps" shards "$shards" \
    first "$first" end "$end"
  cat <<'EOF'
fail() {
  printf 'finish: %s\n' "$*" >&2
  exit 1
}
cd "$production"

shard_files=()
for ((i = 0; i < shards; i++)); do
  f="$hashes_dir/shard-$i.txt"
  [ -f "$f" ] || fail "shard $i wrote no $f"
  shard_files+=("$f")
done
LC_ALL=C sort -n -k1,1 "${shard_files[@]}" >"$out/hashes.txt.part"
mv "$out/hashes.txt.part" "$out/hashes.txt"

# One line per frame of [first, end), in order, each with its PNG.
expected="$first"
while read -r frame time hash rest; do
  [[ "$frame" =~ ^[0-9]+$ ]] && [ -n "$time" ] && [ -n "$hash" ] && [ -z "$rest" ] \
    || fail "malformed line in hashes.txt: '$frame $time $hash $rest'"
  frame=$((10#$frame))
  [ "$frame" -eq "$expected" ] || fail "hashes.txt has frame $frame where frame $expected belongs"
  printf -v png '%s/%05d.png' "$frames_dir" "$frame"
  [ -s "$png" ] || fail "frame $frame is listed but $png is missing or empty"
  expected=$((expected + 1))
done <"$out/hashes.txt"
[ "$expected" -eq "$end" ] || fail "hashes.txt stops before frame $expected (range ends at $end)"
echo "finish: $((end - first)) frames from $shards shards present; encoding $video"

exec "$renderer" --encode "$frames_dir" --output "$video" --frames "$frames" --fps "$fps"
EOF
} >"$finish_job"
chmod +x "$render_job" "$finish_job"

# sbatch expands %-patterns in log names; %% stands for a literal %.
logs_pattern="${logs_dir//%/%%}"
sbatch_common=(--parsable --chdir="$production")
[ -n "$partition" ] && sbatch_common+=(--partition="$partition")

array_id="$(sbatch "${sbatch_common[@]}" --job-name=tarvo-render --array="0-$((shards - 1))" \
  --output="$logs_pattern/render-%A_%a.log" "$render_job")"
array_id="${array_id%%;*}"
[[ "$array_id" =~ ^[0-9]+$ ]] || die "sbatch gave no job id for the render array: '$array_id'"

# When a shard fails the dependency can never be met: Slurm then cancels this job.
finish_id="$(sbatch "${sbatch_common[@]}" --job-name=tarvo-encode \
  --dependency="afterok:$array_id" --kill-on-invalid-dep=yes \
  --output="$logs_pattern/finish-%j.log" "$finish_job")" || {
  scancel "$array_id" || true
  die "could not submit the finish job; render array $array_id cancelled"
}
finish_id="${finish_id%%;*}"

echo "render array job: $array_id ($shards tasks, frames $frames at $fps fps, $size)"
echo "finish job: $finish_id (writes $out/hashes.txt and $video)"
