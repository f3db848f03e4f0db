# shellcheck shell=bash
# End-to-end test helpers. Each tests/e2e/test_*.sh sources this file with the build directory as $1;
# CTest runs them one at a time. It wraps scripts/demo/session.sh (Xvfb with a window manager, a demo
# system root and product folder, the loopback sign-up receiver, xdotool helpers) with the installer's
# pages as a person sees them and with checks that say what was expected and what was seen.
#
# Everything a test makes (system root, product, screenshots, logs) goes into
# <build>/e2e-artifacts/<test>: removed when the test passes (kept with E2E_KEEP=1), kept when it fails.
# Every process started here is ended by PID in the exit trap.

set -uo pipefail  # not -e: every failure goes through fail(), which says what went wrong

if [ -z "${1:-}" ] || [ ! -x "$1/setup" ]; then
  echo "usage: bash $0 BUILD_DIR   (the directory holding the built setup and vantiro_window)" >&2
  exit 2
fi
E2E_BUILD=$(cd "$1" && pwd)
E2E_TEST=$(basename "$0" .sh)
E2E_REPO=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
ART="$E2E_BUILD/e2e-artifacts/$E2E_TEST"
E2E_STEP=0
E2E_BEGAN=$(date +%s)
unset VANTIRO_DEMO_TITLE  # the demo program must be titled "Vantiro", as the installer looks for it

source "$E2E_REPO/scripts/demo/session.sh"

rm -rf "$ART"
mkdir -p "$ART"

e2e_finish() {
  local code=$?
  if [ "$code" -ne 0 ] && [ -n "${SHOTS:-}" ] && xdpyinfo >/dev/null 2>&1; then shot "zz-at-failure" 2>/dev/null; fi
  session_stop
  if [ "$code" -eq 0 ]; then
    [ -n "${E2E_KEEP:-}" ] && echo "artifacts kept in $ART" || rm -rf "$ART"
    return 0
  fi
  {
    echo "---- $E2E_TEST failed; screenshots, logs and the system root are kept in $ART"
    find "$ART" -name '*.png' | sort | sed 's/^/  /'
    for log in $(find "$ART" -name setup.log | sort); do
      echo "---- $log (last lines)"
      tail -n 20 "$log"
    done
  } >&2
}
trap e2e_finish EXIT
trap 'exit 143' TERM INT  # ^C or a TERM still ends the session's processes (through the EXIT trap)

# ---- failing and checking

fail() {
  printf '\nFAIL [%s]: %s\n' "$E2E_TEST" "$*" >&2
  exit 1
}

# expect_eq WHAT EXPECTED ACTUAL
expect_eq() {
  [ "$2" == "$3" ] || fail "$1:
    expected: '$2'
    seen:     '$3'"
}

# expect_file PATH [WHAT]
expect_file() {
  [ -f "$1" ] || fail "${2:-file} missing: $1
    that folder holds: $(ls -A "$(dirname "$1")" 2>&1 | tr '\n' ' ')"
}

# expect_absent PATH [WHAT]
expect_absent() {
  [ ! -e "$1" ] && [ ! -L "$1" ] || fail "${2:-path} should not exist: $1"
}

# expect_same_file EXPECTED ACTUAL WHAT: byte-for-byte equal.
expect_same_file() {
  expect_file "$2" "$3"
  cmp -s "$1" "$2" || fail "$3 differs from $1: $2"
}

# wait_for SECONDS WHAT COMMAND...: polls COMMAND every 0.1 s until it succeeds.
wait_for() {
  local seconds=$1 what=$2 i
  shift 2
  for ((i = 0; i < seconds * 10; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  "$@" && return 0
  fail "waited ${seconds} s for $what; it did not happen.
    visible windows: $(window_titles)"
}

# step NAME: a numbered screenshot of the whole display.
step() {
  E2E_STEP=$((E2E_STEP + 1))
  shot "$(printf '%02d' "$E2E_STEP")-$1"
}

# ---- sessions

# e2e_session [NAME]: a fresh display, system root, product folder and receiver, in $ART (or $ART/NAME
# when a test walks several roads). Keeps a copy of the product as shipped in $ORIGINAL.
e2e_session() {
  session_start "$E2E_BUILD" "$ART${1:+/$1}" || fail "could not start the session (display, receiver)"
  ORIGINAL="$WORK/original"
  rm -rf "$ORIGINAL"
  cp -a "$PRODUCT" "$ORIGINAL"
}

# e2e_session_end: ends the session's processes, so that another session can start.
e2e_session_end() {
  session_stop
  unset DISPLAY
}

setup_running() { kill -0 "$SETUP_PID" 2>/dev/null; }
setup_gone() { ! setup_running; }

# expect_setup_ends [SECONDS]: the installer ends by itself, with exit code 0.
expect_setup_ends() {
  wait_for "${1:-10}" "the installer to end" setup_gone
  local code=0
  wait "$SETUP_PID" 2>/dev/null || code=$?
  expect_eq "the installer's exit code" 0 "$code"
}

# ---- windows

has_window() { [ -n "$(visible_window "$1")" ]; }
no_window() { [ -z "$(visible_window "$1")" ]; }
window_titles() {
  local w titles=""
  for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    titles+="'$(xdotool getwindowname "$w" 2>/dev/null)' "
  done
  echo "${titles:-none}"
}

# wait_window TITLE [SECONDS]: waits for a visible top-level window titled exactly TITLE.
wait_window() { wait_for "${2:-10}" "a window titled '$1'" has_window "$1"; }

# click_in TITLE X Y: a left click at client coordinates (the layouts' coordinates) of the window.
click_in() {
  local w
  w=$(visible_window "$1")
  [ -n "$w" ] || fail "no window titled '$1' to click in; visible windows: $(window_titles)"
  xdotool mousemove --window "$w" "$2" "$3" click 1
  sleep 0.2
}

# type_in TITLE TEXT: typed into the control that has the focus in the window.
type_in() {
  has_window "$1" || fail "no window titled '$1' to type in; visible windows: $(window_titles)"
  type_text "$1" "$2"
}

# window_size TITLE: "WIDTH HEIGHT" of the window's client area.
window_size() {
  xdotool getwindowgeometry --shell "$(visible_window "$1")" |
    awk -F= '$1 == "WIDTH" {w = $2} $1 == "HEIGHT" {h = $2} END {print w, h}'
}

# answer_box TITLE: clicks OK in the message box titled TITLE (one button centred at its bottom:
# 75x23, 12 px above the bottom edge).
answer_box() {
  local w h
  read -r w h < <(window_size "$1")
  [ -n "$w" ] || fail "no message box titled '$1'; visible windows: $(window_titles)"
  click_in "$1" $((w / 2)) $((h - 12 - 11))
}

# blank TITLE X Y W H: the rectangle (client coordinates) is white all over.
blank() {
  [ "$(import -window "$(visible_window "$1")" -crop "$4x$5+$2+$3" +repage -format '%[fx:minima]' info: 2>/dev/null)" == 1 ]
}

# ---- the installer's windows and pages (positions from src/setup/resources/*.layout)

LICENCE="License Agreement & Disclaimer"
MAIN="Installation"
CHOOSER="Choose Installation Directory"
BOX="Setup"

licence_agree() {
  wait_window "$LICENCE"
  step licence
  click_in "$LICENCE" 196 324  # Agree, 159,312 75x25
  wait_window "$MAIN"
  wait_page options
  step options
}
licence_cancel() { click_in "$LICENCE" 317 324; }  # Cancel, 280,312 75x25

# wait_page NAME [SECONDS]
wait_page() {
  wait_main_page "$1" "${2:-10}" || fail "the main window should show the $1 page; it shows: $(page_of_main)"
}

options_toggle_desktop() { click_in "$MAIN" 119 111; }     # CheckBox1, 111,103
options_toggle_start_menu() { click_in "$MAIN" 117 131; }  # CheckBox2, 109,123
options_browse() {
  click_in "$MAIN" 278 86  # Browse, 249,78 58x17
  wait_window "$CHOOSER"
}
# The chooser's directory list (0,26 297x185, 16-px entries inside a 2-px border): entry N's middle,
# and whether anything is written on entry N.
list_entry_y() { echo $((26 + 2 + 16 * $1 + 8)); }
list_entry_blank() { blank "$CHOOSER" 20 $((26 + 2 + 16 * $1 + 1)) 180 14; }
list_entry_written() { ! list_entry_blank "$1"; }
chooser_ok() { click_in "$CHOOSER" 255 251; }  # OK, 213,241 84x20

options_quit() { click_in "$MAIN" 210 163; }  # Quit, 173,151 75x25
options_install() {
  click_in "$MAIN" 122 163  # Install, 85,151 75x25
  wait_page sign-up
}

# signup_ok [EMAIL]: the address is typed into the field, which has the focus, then OK.
signup_ok() {
  [ -n "${1:-}" ] && type_in "$MAIN" "$1"
  step sign-up
  click_in "$MAIN" 125 153  # OK, 22+71,70+71 64x25
}
signup_skip() {
  step sign-up
  click_in "$MAIN" 196 153  # Skip, 22+142,70+71 64x25
}

completion_toggle_run() { click_in "$MAIN" 87 116; }    # CheckBox3, 15+64,74+34
completion_toggle_notes() { click_in "$MAIN" 87 137; }  # CheckBox4, 15+64,74+55
completion_exit() { click_in "$MAIN" 159 166; }         # Exit, 15+107,74+82 75x20

# ---- the system root

# host_path 'C:\a\b': the host path of a path on drive C, as the names were created.
host_path() {
  local rest=${1#[Cc]:}
  printf '%s/drive_c%s' "$WINROOT" "$(printf '%s' "$rest" | tr '\\' '/')"
}

# reg_value HIVE KEY NAME: a string value's text (unquoted, unescaped); nothing when the key or value is
# absent. Key and name are matched without regard to case, as the registry does.
reg_value() {
  [ -f "$1" ] || return 0
  KEY="[$2]" NAME="\"$3\"=" awk '{gsub(/\r/, "")}
    /^\[/ {inkey = (tolower($0) == tolower(ENVIRON["KEY"]))}
    inkey && index(tolower($0), tolower(ENVIRON["NAME"])) == 1 {sub(/^[^=]*=/, ""); print}' "$1" |
    sed 's/^"//; s/"$//; s/\\\\/\\/g; s/\\"/"/g'
}
# reg_has_key HIVE KEY
reg_has_key() {
  [ -f "$1" ] && KEY="[$2]" awk '{gsub(/\r/, "")} tolower($0) == tolower(ENVIRON["KEY"]) {found = 1}
    END {exit !found}' "$1"
}

SYSTEM_HIVE() { echo "$WINROOT/system.reg"; }
PRODUCT_KEY='HKEY_LOCAL_MACHINE\Software\vnta'
UNINSTALL_KEY='HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Vantiro'
SHELL_FOLDERS_KEY='HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Explorer\Shell Folders'

# The user's folders, as the installer finds them: through the shell-folder values.
desktop_dir() { host_path "$(reg_value "$WINROOT/user.reg" "$SHELL_FOLDERS_KEY" Desktop)"; }
start_menu_dir() { host_path "$(reg_value "$WINROOT/user.reg" "$SHELL_FOLDERS_KEY" 'Start Menu')/Programs/Vantiro"; }

# lnk_local_path FILE: the target a shortcut file names, as lnkinfo reads it.
lnk_local_path() {
  lnkinfo "$1" 2>/dev/null | sed -n 's/^[[:space:]]*Local path[[:space:]]*: //p' | head -n 1
}

# expect_link FILE 'C:\target': a shortcut file that a standard reader takes to name that target.
expect_link() {
  expect_file "$1" "shortcut"
  lnkinfo "$1" >/dev/null 2>&1 || fail "lnkinfo cannot read $1: $(lnkinfo "$1" 2>&1 | tail -n 3)"
  expect_eq "target of $(basename "$1")" "$2" "$(lnk_local_path "$1")"
}

# What the installer copies into the installation directory.
PROGRAM_FILES=(vantro.exe readme.txt portslist.txt iplist.txt vnhelp.doc)

# expect_installed 'C:\dir': the product's files, byte for byte, in the directory and the uninstaller
# in the Windows directory; the product folder emptied; the hive records the directory.
expect_installed() {
  local dir name
  dir=$(host_path "$1")
  for name in "${PROGRAM_FILES[@]}"; do expect_same_file "$ORIGINAL/$name" "$dir/$name" "installed $name"; done
  expect_eq "files in $1" "$(printf '%s\n' "${PROGRAM_FILES[@]}" | sort)" "$(ls -A "$dir" | sort)"
  expect_same_file "$ORIGINAL/uninst1.exe" "$WINROOT/drive_c/windows/uninst1.exe" 'the uninstaller in C:\windows'
  expect_eq "what is left in the product folder" "" "$(ls -A "$PRODUCT")"
  expect_eq "installdir in $PRODUCT_KEY" "$1" "$(reg_value "$(SYSTEM_HIVE)" "$PRODUCT_KEY" installdir)"
  expect_eq "Displayname in the uninstall entry" "Vantiro" "$(reg_value "$(SYSTEM_HIVE)" "$UNINSTALL_KEY" Displayname)"
  expect_eq "UninstallString in the uninstall entry" 'C:\windows\uninst1.exe' \
    "$(reg_value "$(SYSTEM_HIVE)" "$UNINSTALL_KEY" UninstallString)"
}

# expect_start_menu_links 'C:\dir': the four shortcuts of the Start Menu folder, nothing else.
expect_start_menu_links() {
  local folder
  folder=$(start_menu_dir)
  expect_link "$folder/Vantiro.lnk" "$1\\vantro.exe"
  expect_link "$folder/vnhelp.lnk" "$1\\vnhelp.doc"
  expect_link "$folder/ReadMe.lnk" "$1\\readme.txt"
  expect_link "$folder/Uninstall.lnk" 'C:\windows\uninst1.exe'
  expect_eq "files in the Start Menu folder" "$(printf '%s\n' ReadMe.lnk Uninstall.lnk Vantiro.lnk vnhelp.lnk)" \
    "$(ls -A "$folder" | LC_ALL=C sort)"
}

# expect_nothing_installed: no file copied, no shortcut, no product or uninstall values, the product
# folder as shipped.
expect_nothing_installed() {
  expect_eq "the product folder" "$(cd "$ORIGINAL" && sha256sum * | sort)" "$(cd "$PRODUCT" && sha256sum * | sort)"
  expect_absent "$WINROOT/drive_c/Program Files/Vantiro" "an installation directory"
  expect_absent "$WINROOT/drive_c/windows/uninst1.exe" "an uninstaller"
  expect_eq "shortcut files in the root" "" "$(find "$WINROOT" -name '*.lnk' 2>/dev/null)"
  reg_has_key "$(SYSTEM_HIVE)" "$PRODUCT_KEY" && fail "the product key was written: $(SYSTEM_HIVE)"
  reg_has_key "$(SYSTEM_HIVE)" "$UNINSTALL_KEY" && fail "the uninstall entry was written: $(SYSTEM_HIVE)"
  return 0
}

# ---- the sign-up receiver (RECEIVED/conn-N.open while a connection is open, conn-N.bin once closed)

connections() { (cd "$RECEIVED" && ls conn-*.open conn-*.part conn-*.bin 2>/dev/null | sed 's/\..*//' | sort -u); }
expect_no_connection() { expect_eq "connections to the sign-up receiver" "" "$(connections | tr '\n' ' ')"; }

# ---- processes the installer starts

# pid_of_window TITLE: the process that owns the window, from _NET_WM_PID or else /proc.
pid_of_window() { xdotool getwindowpid "$(visible_window "$1")" 2>/dev/null; }

# pids_running HOST_FILE: processes whose executable is that file.
pids_running() {
  local want p
  want=$(readlink -f "$1")
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/exe" 2>/dev/null)" == "$want" ] && echo "${p#/proc/}"
  done
}
