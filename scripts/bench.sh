#!/usr/bin/env bash
# Benchmarks, each against a reference measured in the same run, printed as one table:
#   transfer  the install engine (headless, the whole installer) moving a product whose vantro.exe is
#             512 MB, against cp + sync + rm of the same files on the same disk; rounds alternate.
#   memory    the engine's peak resident set moving 512 MB and 2 GB.
#   start-up  exec to the first window mapped under Xvfb: build/setup against a bare FLTK window
#             program (vantiro_window); rounds alternate.
#
#   scripts/bench.sh [ROUNDS]      default 5; big files go under $BIGTMP (default <repo>/bigtmp)
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
rounds=${1:-5}
build=${BUILD_DIR:-$repo/build-rel}
bigtmp=${BIGTMP:-$repo/bigtmp}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target install_driver measure map_wait setup vantiro_window -j"$(nproc)" >/dev/null
driver=$build/bench/install_driver
measure=$build/bench/measure

work=$bigtmp/bench
rm -rf "$work"
mkdir -p "$work"
pids=()
cleanup() {
  local pid
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

median() { sort -g | awk '{ v[NR] = $1 } END { print NR % 2 ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
payload() {  # payload SIZE: a file of random bytes, made once and kept
  local file=$bigtmp/payload-$1.bin
  [[ -f $file ]] || { head -c "$1" /dev/urandom >"$file.part" && mv "$file.part" "$file"; }
  echo "$file"
}

# ---- transfer and memory

export WINROOT=$work/root
source_dir=$WINROOT/drive_c/Temp/Setup
install_dir="$WINROOT/drive_c/Program Files/Vantiro"
windows_dir=$WINROOT/drive_c/windows
files=(vantro.exe portslist.txt iplist.txt vnhelp.doc readme.txt uninst1.exe)

make_product() {  # make_product PAYLOAD
  rm -rf "$source_dir"
  mkdir -p "$source_dir"
  cp "$1" "$source_dir/vantro.exe"
  for f in portslist.txt iplist.txt vnhelp.doc readme.txt uninst1.exe; do echo "$f" >"$source_dir/$f"; done
  sync  # the copy's write-back must not run during a measured transfer
}
target_of() { [[ $1 == uninst1.exe ]] && echo "$windows_dir/$1" || echo "$install_dir/$1"; }
# Moves the installed files back to the source (a rename: the data stays where it is, cached alike for
# both contenders) and flushes everything, so each round starts from the same state.
put_back() {
  local f
  for f in "${files[@]}"; do
    [[ -e $source_dir/$f ]] || mv "$(target_of "$f")" "$source_dir/$f"
  done
  rm -rf "$install_dir" "$WINROOT/drive_c/users"/*/Desktop/*.lnk "$WINROOT/drive_c/users"/*/"Start Menu"/Programs/Vantiro
  sync
}
run_engine() { (cd "$source_dir" && exec "$measure" "$driver"); }
run_reference() {
  "$measure" sh -c 'mkdir -p "$2" && cp "$1"/vantro.exe "$1"/portslist.txt "$1"/iplist.txt "$1"/vnhelp.doc \
    "$1"/readme.txt "$2"/ && cp "$1"/uninst1.exe "$3"/ && sync && rm "$1"/*' \
    sh "$source_dir" "$install_dir" "$windows_dir"
}

# transfer SIZE ROUNDS: engine and reference alternating on a product whose vantro.exe is SIZE; sets
# the medians (engine, reference, ratio) and the engine's largest peak RSS (KiB).
transfer() {
  echo "transfer: $2 rounds moving a $1 product, engine and cp + sync + rm alternating"
  make_product "$(payload "$1")"
  (cd "$source_dir" && "$driver") && put_back  # seeds the root, warms the caches
  local engine_times=() reference_times=() ratios=() r who seconds rss status engine reference
  peak_rss=0
  for ((r = 1; r <= $2; ++r)); do
    for who in $( ((r % 2)) && echo "engine reference" || echo "reference engine"); do
      read -r seconds rss status < <(if [[ $who == engine ]]; then run_engine; else run_reference; fi)
      ((status == 0)) || { echo "the $who run failed (exit $status)"; exit 1; }
      [[ -f $install_dir/vantro.exe && ! -e $source_dir/vantro.exe ]] || { echo "the $who run moved nothing"; exit 1; }
      put_back
      if [[ $who == engine ]]; then
        engine=$seconds
        ((rss > peak_rss)) && peak_rss=$rss
      else
        reference=$seconds
      fi
    done
    engine_times+=("$engine")
    reference_times+=("$reference")
    ratios+=("$(awk -v a="$engine" -v b="$reference" 'BEGIN { printf "%.3f", a / b }')")
    printf '  round %d: engine %.3f s, cp + sync + rm %.3f s, ratio %s\n' "$r" "$engine" "$reference" "${ratios[-1]}"
  done
  median_engine=$(printf '%s\n' "${engine_times[@]}" | median)
  median_reference=$(printf '%s\n' "${reference_times[@]}" | median)
  median_ratio=$(printf '%s\n' "${ratios[@]}" | median)
  rm -rf "$source_dir"
}

transfer 512M "$rounds"
transfer_engine=$median_engine transfer_reference=$median_reference transfer_ratio=$median_ratio rss_512=$peak_rss
# The 2 GB product is for the memory figure; three rounds give its time against the reference too.
transfer 2G 3
big_engine=$median_engine big_reference=$median_reference big_ratio=$median_ratio rss_2g=$peak_rss

# ---- start-up

display=
for n in $(seq 150 199); do
  [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] || { display=:$n; break; }
done
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
pids+=($!)
export DISPLAY=$display
for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
xdpyinfo >/dev/null 2>&1 || { echo "Xvfb did not come up on $display (see $work/xvfb.log)"; exit 1; }

start_root=$work/startup-root
mkdir -p "$start_root/drive_c/Temp/Setup"
cp "$build/vantiro_window" "$start_root/drive_c/Temp/Setup/vantro.exe"
run_setup() {
  (cd "$start_root/drive_c/Temp/Setup" && WINROOT=$start_root exec "$build/bench/map_wait" \
    --title Installation --title "License Agreement & Disclaimer" -- "$build/setup")
}
run_window() { "$build/bench/map_wait" --title Vantiro -- "$build/vantiro_window"; }
echo "start-up: $rounds rounds under Xvfb $display, setup and vantiro_window alternating"
run_setup >/dev/null && run_window >/dev/null  # seeds the root, loads the libraries and fonts once
setup_times=() window_times=() startup_ratios=()
for ((r = 1; r <= rounds; ++r)); do
  if ((r % 2)); then s=$(run_setup); w=$(run_window); else w=$(run_window); s=$(run_setup); fi
  setup_times+=("$s")
  window_times+=("$w")
  startup_ratios+=("$(awk -v a="$s" -v b="$w" 'BEGIN { printf "%.3f", a / b }')")
  printf '  round %d: setup %.3f s, vantiro_window %.3f s, ratio %s\n' "$r" "$s" "$w" "${startup_ratios[-1]}"
done
startup_setup=$(printf '%s\n' "${setup_times[@]}" | median)
startup_window=$(printf '%s\n' "${window_times[@]}" | median)
startup_ratio=$(printf '%s\n' "${startup_ratios[@]}" | median)

# ---- the table

disk_dev=$(findmnt -n -o SOURCE -T "$bigtmp")
disk_fs=$(findmnt -n -o FSTYPE -T "$bigtmp")
disk_dev_name=$(basename "$disk_dev")
disk_size=$(lsblk -n -d -o SIZE "$disk_dev" 2>/dev/null | tr -d ' ')
rotational=$(cat "/sys/block/$disk_dev_name/queue/rotational" 2>/dev/null || echo "?")
cpu=$(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)
verdict() { awk -v v="$1" -v t="$2" 'BEGIN { print v <= t ? "yes" : "NO" }'; }
mb() { awk -v k="$1" 'BEGIN { printf "%.1f MB", k / 1024 }'; }

echo
echo "machine: $(nproc) CPUs, ${cpu:-unknown CPU}; disk $disk_dev ($disk_fs, ${disk_size:-?}, rotational=$rotational)"
echo "command: scripts/bench.sh $rounds   (median of $rounds rounds, each against its reference in the same round)"
printf '%-40s %12s %14s %8s %12s %5s\n' benchmark measured reference ratio target met
printf '%-40s %10.3f s %12.3f s %8.3f %12s %5s\n' "transfer 512 MB (engine | cp+sync+rm)" \
  "$transfer_engine" "$transfer_reference" "$transfer_ratio" "<= 1.10" "$(verdict "$transfer_ratio" 1.10)"
printf '%-40s %10.3f s %12.3f s %8.3f %12s %5s\n' "transfer 2 GB, 3 rounds (same)" \
  "$big_engine" "$big_reference" "$big_ratio" "" ""
printf '%-40s %12s %14s %8s %12s %5s\n' "peak RSS, 512 MB transfer" "$(mb "$rss_512")" "" "" "<= 16 MB" \
  "$(verdict "$rss_512" 16384)"
same=$(awk -v a="$rss_512" -v b="$rss_2g" 'BEGIN { d = a > b ? a - b : b - a; print d <= 1024 && b <= 16384 ? "yes" : "NO" }')
printf '%-40s %12s %14s %8s %12s %5s\n' "peak RSS, 2 GB transfer" "$(mb "$rss_2g")" "" "" "same, <=16MB" "$same"
printf '%-40s %10.3f s %12.3f s %8.3f %12s %5s\n' "start-up to window (setup | FLTK)" \
  "$startup_setup" "$startup_window" "$startup_ratio" "<= 1.5" "$(verdict "$startup_ratio" 1.5)"
