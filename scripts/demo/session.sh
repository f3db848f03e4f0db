# Shared by the demo (scripts/run-demo.sh) and the end-to-end tests (tests/e2e): a display (Xvfb with
# a window manager, unless one is given), a demo system root and product folder, a loopback sign-up
# receiver named in the root's hosts file, the installer started as a person would, and helpers that
# click and type with xdotool and take screenshots. Source it; call session_start first.
# Every process started here is remembered by PID and ended by session_stop.

SESSION_PIDS=()
SESSION_DIR=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)

session_log() { printf '[%s] %s\n' "$(date +%H:%M:%S)" "$*" >&2; }

# session_start BUILD_DIR WORK_DIR [SIGNUP_ADDRESS]
session_start() {
  BUILD=$(cd "$1" && pwd)
  WORK=$2
  SIGNUP_ADDRESS=${3:-127.0.0.77}
  mkdir -p "$WORK"
  WORK=$(cd "$WORK" && pwd)
  export WINROOT="$WORK/root"
  PRODUCT="$WORK/product"
  SHOTS="$WORK/screenshots"
  RECEIVED="$WORK/received"
  mkdir -p "$SHOTS" "$RECEIVED"
  session_make_root
  session_make_product
  if [ -z "${SESSION_USE_DISPLAY:-}" ]; then session_start_display || return 1; fi
  session_start_receiver
}

session_make_root() {
  # The installer seeds the rest of the root on first use; the hosts file is ours, so it is made first.
  mkdir -p "$WINROOT/drive_c/windows/system32/drivers/etc"
  printf '# demo hosts\r\n127.0.0.1 localhost\r\n%s signup.vantiro.example\r\n' "$SIGNUP_ADDRESS" \
    > "$WINROOT/drive_c/windows/system32/drivers/etc/hosts"
}

session_make_product() {
  mkdir -p "$PRODUCT"
  cp "$BUILD/vantiro_window" "$PRODUCT/vantro.exe"
  printf 'Vantiro 1.1 release notes\r\n\r\n- Port and address lists\r\n- First release for this platform\r\n' \
    > "$PRODUCT/readme.txt"
  printf '21 ftp\r\n22 ssh\r\n25 smtp\r\n80 http\r\n443 https\r\n' > "$PRODUCT/portslist.txt"
  printf '127.0.0.1\r\n192.168.0.1\r\n' > "$PRODUCT/iplist.txt"
  printf 'Vantiro help\r\n\r\nVantiro keeps lists of ports and addresses.\r\n' > "$PRODUCT/vnhelp.doc"
  printf '#!/bin/sh\necho "Vantiro uninstaller (demo): nothing to do"\n' > "$PRODUCT/uninst1.exe"
  chmod +x "$PRODUCT/vantro.exe" "$PRODUCT/uninst1.exe"
}

session_start_display() {
  local n
  for n in $(seq 90 140); do
    [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] || break
  done
  Xvfb ":$n" -screen 0 1024x768x24 -noreset -nolisten tcp >"$WORK/xvfb.log" 2>&1 &
  SESSION_PIDS+=($!)
  export DISPLAY=":$n"
  for _ in $(seq 100); do xdpyinfo >/dev/null 2>&1 && break; sleep 0.1; done
  if ! xdpyinfo >/dev/null 2>&1; then
    session_log "Xvfb did not come up on $DISPLAY (see $WORK/xvfb.log)"
    return 1
  fi
  if command -v openbox >/dev/null; then
    openbox >"$WORK/openbox.log" 2>&1 &
    SESSION_PIDS+=($!)
    # Ready once it has announced itself on the root window; windows mapped before that get no frame.
    for _ in $(seq 100); do
      xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break
      sleep 0.05
    done
  fi
  session_log "display $DISPLAY"
}

session_start_receiver() {
  python3 "$SESSION_DIR/signup_receiver.py" "$SIGNUP_ADDRESS" 9000 "$RECEIVED" \
    >"$WORK/receiver.log" 2>&1 &
  SESSION_PIDS+=($!)
  for _ in $(seq 100); do [ -f "$RECEIVED/ready" ] && return 0; sleep 0.05; done
  session_log "the sign-up receiver did not start (see $WORK/receiver.log)"
  return 1
}

# Starts build/setup in the product folder, as a person would; SETUP_PID names it. Arguments, if any,
# are a command that execs the installer in turn (e.g. setpriv to run it as another user).
session_run_setup() {
  (cd "$PRODUCT" && exec "$@" "$BUILD/setup") >"$WORK/setup.log" 2>&1 &
  SETUP_PID=$!
  SESSION_PIDS+=($SETUP_PID)
}

# session_wait_setup [SECONDS]: waits until the installer has ended (at most SECONDS, 60 by default; 0
# waits for as long as a person takes); its exit code is the function's, 124 when it did not end.
session_wait_setup() {
  local code=0 limit=${1:-60} i
  if ((limit > 0)); then
    for ((i = 0; i < limit * 10; i++)); do kill -0 "$SETUP_PID" 2>/dev/null || break; sleep 0.1; done
    if kill -0 "$SETUP_PID" 2>/dev/null; then session_log "setup did not end"; return 124; fi
  fi
  wait "$SETUP_PID" || code=$?
  return $code
}

# The visible window titled exactly $1, or nothing (no waiting).
visible_window() { xdotool search --onlyvisible --name "^$1\$" 2>/dev/null | head -n 1; }

# Window id of the top-level window titled exactly $1 (waits up to 10 s).
window_of() {
  local id
  for _ in $(seq 100); do
    id=$(visible_window "$1") || true
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  session_log "no window titled '$1'"
  return 1
}

# pixel TITLE X Y: the colour (#RRGGBB) at client coordinates of the window.
pixel() {
  import -window "$(visible_window "$1")" -crop "1x1+$2+$3" -depth 8 txt:- 2>/dev/null |
    grep -o '#[0-9A-Fa-f]\{6\}' | head -n 1
}

# The main window's pages, told apart by points that fall on a button of one page only and on the white
# of the others: Quit (173,151 75x25) on the options page, OK of the sign-up panel (22,70 + 71,71 64x25),
# Exit of the completion panel (15,74 + 107,82 75x20). The installing panel shows none of them.
# (Positions from src/setup/resources/Unit1.layout.)
page_of_main() {
  local quit ok exit_
  quit=$(pixel Installation 238 170)
  ok=$(pixel Installation 100 150)
  exit_=$(pixel Installation 166 172)
  case "$quit/$ok/$exit_" in
    '#FFFFFF/#FFFFFF/#FFFFFF') echo installing ;;
    '#FFFFFF/#FFFFFF/'*) echo completed ;;
    '#FFFFFF/'*'/#FFFFFF') echo sign-up ;;
    *'/#FFFFFF/'*) echo options ;;
    *) echo "unknown ($quit/$ok/$exit_)" ;;
  esac
}
on_page() { [ "$(page_of_main)" == "$1" ]; }

# wait_main_page NAME [SECONDS]: waits until the main window shows page NAME (status 1 if it does not).
wait_main_page() {
  local i
  for ((i = 0; i < ${2:-10} * 10; i++)); do
    on_page "$1" && return 0
    sleep 0.1
  done
  on_page "$1"
}

# click TITLE X Y: a left click at client coordinates of the window titled TITLE.
click() {
  local w
  w=$(window_of "$1") || return 1
  xdotool mousemove --window "$w" "$2" "$3" click 1
  sleep 0.3
}

# keys TITLE KEY...: key presses into the window titled TITLE.
keys() {
  local w
  w=$(window_of "$1") || return 1
  shift
  xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
  xdotool key --delay 80 "$@"
  sleep 0.3
}

# type_text TITLE TEXT: typing into the focused control of the window titled TITLE.
type_text() {
  local w
  w=$(window_of "$1") || return 1
  xdotool windowactivate --sync "$w" 2>/dev/null || xdotool windowfocus --sync "$w"
  xdotool type --delay 40 "$2"
  sleep 0.3
}

shot() {
  import -window root "$SHOTS/$1.png" 2>/dev/null
  session_log "screenshot $SHOTS/$1.png"
}

session_stop() {
  local pid
  for pid in "${SESSION_PIDS[@]}"; do kill "$pid" 2>/dev/null || true; done
  for pid in "${SESSION_PIDS[@]}"; do wait "$pid" 2>/dev/null || true; done
  SESSION_PIDS=()
}
