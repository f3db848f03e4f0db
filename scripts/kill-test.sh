#!/usr/bin/env bash
# Kill test: installs a product with a large main program through the real install engine (headless)
# and SIGKILLs the installer at random moments of the transfer. After each kill every shipped file must
# be whole (sha256) in the source folder or in its target (or both), no file under a product name may be
# partial, and both hives and any shortcut files must still parse. Then setup runs again to its end and
# must leave every file whole in its target. Then the files are put back and the next round starts from
# the same source.
#
#   scripts/kill-test.sh [KILLS] [SIZE_MB]      defaults: 100 kills, a 300 MB vantro.exe
#
# Big files go under $BIGTMP (default <repo>/bigtmp); the build goes to build-rel.
set -euo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
kills=${1:-100}
size_mb=${2:-300}
build=${BUILD_DIR:-$repo/build-rel}
bigtmp=${BIGTMP:-$repo/bigtmp}

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target install_driver root_check -j"$(nproc)" >/dev/null
driver=$build/bench/install_driver
checker=$build/bench/root_check

mkdir -p "$bigtmp"
payload=$bigtmp/payload-${size_mb}M.bin
if [[ ! -f $payload || $(stat -c %s "$payload") -ne $((size_mb * 1024 * 1024)) ]]; then
  echo "making a ${size_mb} MB main program of random bytes (once): $payload"
  head -c "${size_mb}M" /dev/urandom >"$payload.part" && mv "$payload.part" "$payload"
fi

work=$bigtmp/kill-test
rm -rf "$work"
export WINROOT=$work/root
source_dir=$WINROOT/drive_c/Temp/Setup
install_dir="$WINROOT/drive_c/Program Files/Vantiro"
windows_dir=$WINROOT/drive_c/windows
mkdir -p "$source_dir"
trap 'rm -rf "$work"' EXIT

files=(vantro.exe portslist.txt iplist.txt vnhelp.doc readme.txt uninst1.exe)
cp "$payload" "$source_dir/vantro.exe"
printf '21 ftp\n22 ssh\n80 http\n' >"$source_dir/portslist.txt"
printf '127.0.0.1\n' >"$source_dir/iplist.txt"
printf 'Vantiro help\n' >"$source_dir/vnhelp.doc"
printf 'Vantiro 1.1 release notes\n' >"$source_dir/readme.txt"
printf '#!/bin/sh\n# the uninstaller\n' >"$source_dir/uninst1.exe"
originals=$work/originals
cp -r "$source_dir" "$originals"
declare -A want size
for f in "${files[@]}"; do
  want[$f]=$(sha256sum "$source_dir/$f" | cut -d' ' -f1)
  size[$f]=$(stat -c %s "$source_dir/$f")
done

target_of() { [[ $1 == uninst1.exe ]] && echo "$windows_dir/$1" || echo "$install_dir/$1"; }
whole() { [[ -f $2 && $(stat -c %s "$2") -eq ${size[$1]} && $(sha256sum "$2" | cut -d' ' -f1) == "${want[$1]}" ]]; }

# Puts every shipped file back in the source folder (from the originals after a violation) and clears
# the targets, leftovers and shortcuts.
restore() {
  local f target
  for f in "${files[@]}"; do
    target=$(target_of "$f")
    if [[ -e $source_dir/$f ]]; then rm -f "$target"; else mv "$target" "$source_dir/$f"; fi
    if [[ ${1:-} == damaged ]]; then cp "$originals/$f" "$source_dir/$f"; fi
  done
  rm -f "$install_dir"/.*.copy-* "$windows_dir"/.*.copy-*
  rm -rf "$WINROOT/drive_c/users"/*/Desktop/*.lnk "$WINROOT/drive_c/users"/*/"Start Menu"/Programs/Vantiro
}


# Uninterrupted runs first: they must succeed, and the shortest sets the range of the kill moments (the
# first may be slowed by the source still being written back).
sync
full=
for ((round = 0; round < 3; ++round)); do
  start=$(date +%s.%N)
  (cd "$source_dir" && exec "$driver")
  took=$(awk -v a="$start" -v b="$(date +%s.%N)" 'BEGIN { printf "%.3f", b - a }')
  for f in "${files[@]}"; do
    whole "$f" "$(target_of "$f")" || { echo "FAIL: the uninterrupted install left $f broken"; exit 1; }
  done
  restore
  full=$(awk -v a="${full:-$took}" -v b="$took" 'BEGIN { printf "%.3f", a < b ? a : b }')
done
echo "uninterrupted install: ${full}s; killing $kills times at random moments within it"

violations=0
checked=0
reruns=0
leftovers=0
declare -A phase=([before]=0 [copying]=0 [moving]=0 [done]=0)
began=$(date +%s)
for ((k = 1; k <= kills; ++k)); do
  # Every fourth kill aims at the end of the run, where the sources are deleted and the links made.
  delay=$(awk -v seed="$RANDOM$RANDOM" -v full="$full" -v tail=$((k % 4 == 0)) \
    'BEGIN { srand(seed); printf "%.4f", tail ? full * (0.85 + 0.2 * rand()) : full * rand() }')
  # The subshell becomes the driver through exec, so $! is the installer's own pid.
  (cd "$source_dir" && exec "$driver") &
  pid=$!
  sleep "$delay"
  kill -KILL "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true

  # Where the transfer stood when the kill came.
  temps=$(find "$install_dir" "$windows_dir" -maxdepth 1 -name '.*.copy-*' 2>/dev/null | wc -l)
  leftovers=$((leftovers + temps))
  gone=0
  for f in "${files[@]}"; do [[ -e $source_dir/$f ]] || gone=$((gone + 1)); done
  if ((temps > 0)); then phase[copying]=$((phase[copying] + 1))
  elif ((gone == ${#files[@]})); then phase[done]=$((phase[done] + 1))
  elif ((gone > 0)) || [[ -e $install_dir/vantro.exe ]]; then phase[moving]=$((phase[moving] + 1))
  else phase[before]=$((phase[before] + 1))
  fi

  for f in "${files[@]}"; do
    checked=$((checked + 1))
    target=$(target_of "$f")
    in_source=0 in_target=0
    whole "$f" "$source_dir/$f" && in_source=1
    whole "$f" "$target" && in_target=1
    if [[ -e $source_dir/$f && $in_source == 0 ]]; then
      echo "VIOLATION kill $k (${delay}s): the source of $f was changed"; violations=$((violations + 1))
    fi
    if [[ -e $target && $in_target == 0 ]]; then
      echo "VIOLATION kill $k (${delay}s): a partial $f under its product name"; violations=$((violations + 1))
    fi
    if ((in_source == 0 && in_target == 0)); then
      echo "VIOLATION kill $k (${delay}s): $f is whole nowhere"; violations=$((violations + 1))
    fi
  done
  # A temporary copy never takes a product file's name: the product folder holds only shipped names
  # and hidden temporaries.
  while IFS= read -r name; do
    case $name in
      vantro.exe | portslist.txt | iplist.txt | vnhelp.doc | readme.txt | .*.copy-*) ;;
      *) echo "VIOLATION kill $k: unexpected file $name in the installation folder"; violations=$((violations + 1)) ;;
    esac
  done < <(ls -A "$install_dir" 2>/dev/null)
  mapfile -t links < <(find "$WINROOT/drive_c/users" -name '*.lnk' 2>/dev/null)
  if ! report=$("$checker" "$WINROOT/system.reg" "$WINROOT/user.reg" "${links[@]}"); then
    echo "VIOLATION kill $k: $report"; violations=$((violations + 1))
  fi
  # Running setup again finishes the job: every file whole in its target, the source emptied. (When
  # the kill came after the main program left the source, the install was already complete.)
  if [[ -e $source_dir/vantro.exe ]]; then
    reruns=$((reruns + 1))
    if ! (cd "$source_dir" && exec "$driver" 2>/dev/null); then
      echo "VIOLATION kill $k: running setup again failed"; violations=$((violations + 1))
    fi
    for f in "${files[@]}"; do
      checked=$((checked + 1))
      if ! whole "$f" "$(target_of "$f")" || [[ -e $source_dir/$f ]]; then
        echo "VIOLATION kill $k: after running setup again $f is not installed whole"; violations=$((violations + 1))
      fi
    done
  fi
  if ((violations > 0)); then restore damaged; else restore; fi
done
elapsed=$(($(date +%s) - began))

echo
echo "kill test: ${size_mb} MB vantro.exe, uninterrupted install ${full}s"
printf '  kills                %d (before the transfer %d, copying %d, moving %d, after it %d)\n' \
  "$kills" "${phase[before]}" "${phase[copying]}" "${phase[moving]}" "${phase[done]}"
printf '  runs again           %d (each to its end, every file then whole in its target)\n' "$reruns"
printf '  files checked        %d\n' "$checked"
printf '  temporaries left     %d (hidden .NAME.copy-* files of interrupted copies)\n' "$leftovers"
printf '  violations           %d\n' "$violations"
printf '  time                 %d s\n' "$elapsed"
((violations == 0))
