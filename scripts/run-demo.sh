#!/usr/bin/env bash
# The README's run command: installs what is missing, builds, prepares a demo product folder, a demo
# system root and a loopback sign-up receiver, and starts the installer in the product folder.
# With a display ($DISPLAY set) you click through yourself. Without one it runs under Xvfb, walks the
# default road (Agree, Install, an e-mail, OK, Exit with both boxes cleared) and prints what happened.
# Run it again to reinstall over the first installation.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build >/dev/null

source scripts/demo/session.sh
rm -rf demo/product demo/received demo/screenshots
interactive=""
if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  interactive=1
  SESSION_USE_DISPLAY=1
fi
trap session_stop EXIT
session_start build demo
echo "Demo system root:  $WINROOT"
echo "Demo product:      $PRODUCT"

session_run_setup
if [ -n "$interactive" ]; then
  echo "The installer is open on your display. Click through it; this script waits for it to end."
else
  echo "No display: running under Xvfb ($DISPLAY) and walking the default road."
  window_of "License Agreement & Disclaimer" >/dev/null
  sleep 0.5; shot 1-licence
  click "License Agreement & Disclaimer" 196 324        # Agree
  wait_main_page options || echo "(the options page did not show)"; shot 2-options
  click Installation 122 163                            # Install
  wait_main_page sign-up || echo "(the sign-up panel did not show)"
  type_text Installation "demo.user@example.org"
  shot 3-sign-up
  click Installation 125 153                            # OK
  wait_main_page completed 60 || echo "(the completion panel did not show)"
  sleep 0.3; shot 4-completed
  click Installation 87 116                             # Run Vantiro Now: clear
  click Installation 87 137                             # View Release Notes: clear
  click Installation 159 166                            # Exit
fi
code=0
if [ -n "$interactive" ]; then
  session_wait_setup 0 || code=$?  # a person takes as long as they take
else
  session_wait_setup || code=$?
fi
sleep 0.3

win_to_host() {  # C:\a\b -> $WINROOT/drive_c/a/b (drive C only, enough for the demo's paths)
  local p=${1#[Cc]:}
  printf '%s/drive_c%s' "$WINROOT" "$(printf '%s' "$p" | tr '\\' '/')"
}
reg_value() {  # reg_value FILE KEY NAME (awk -v would eat the key's backslashes: pass them in the environment)
  KEY="[$2]" NAME="\"$3\"=" awk '{gsub(/\r/, "")} /^\[/{inkey=(tolower($0)==tolower(ENVIRON["KEY"]))}
    inkey && index(tolower($0), tolower(ENVIRON["NAME"]))==1 {sub(/^[^=]*=/, ""); print}' "$1"
}

echo
echo "== What happened (setup exit code $code)"
installdir=$(reg_value "$WINROOT/system.reg" 'HKEY_LOCAL_MACHINE\Software\vnta' installdir | sed 's/^"//; s/"$//; s/\\\\/\\/g')
echo "Product key installdir: ${installdir:-<none>}"
if [ -n "$installdir" ]; then
  dir=$(win_to_host "$installdir")
  echo "Files in $installdir:"; ls -l "$dir" | sed 's/^/  /'
fi
echo "Uninstaller in C:\\windows: $(ls "$WINROOT/drive_c/windows/uninst1.exe" 2>/dev/null || echo missing)"
echo "Left in the product folder: $(ls -A "$PRODUCT" | tr '\n' ' ')"
echo "Uninstall entry:"
tr -d '\r' <"$WINROOT/system.reg" | awk '/^\[/{p=(tolower($0) ~ /uninstall\\vantiro\]/)} p && NF' | sed 's/^/  /'
echo "Shortcuts:"
profile=$(ls "$WINROOT/drive_c/users" | head -n 1)
find "$WINROOT/drive_c/users/$profile" -name '*.lnk' | sort | while read -r lnk; do
  target=$(lnkinfo "$lnk" 2>/dev/null | sed -n 's/^[[:space:]]*Local path[[:space:]]*: //p' | head -n 1)
  echo "  ${lnk#$WINROOT/drive_c/} -> $target"
done
echo "Sign-up notices received:"
for f in "$RECEIVED"/conn-*.part "$RECEIVED"/conn-*.bin; do
  if [ -f "$f" ]; then printf '  %s\n' "$(iconv -f CP1252 -t UTF-8 "$f")"; fi
done | sort -u
if [ -z "$interactive" ]; then echo "Screenshots: $SHOTS"; fi
echo "Hives: $WINROOT/system.reg (HKEY_LOCAL_MACHINE), $WINROOT/user.reg (HKEY_CURRENT_USER)"
exit "$code"
