#!/usr/bin/env bash
# An ordinary user may not write HKEY_LOCAL_MACHINE: the system root belongs to that user except the
# machine hive, which stays root's (mode 0644). After OK on the sign-up panel the error display shows
# "Failed to create key \Software\vnta.", no file is copied, and the window stays on the installing
# panel until the user closes it (Alt+F4), which ends the installer.
source "$(dirname "$0")/lib.sh"

if [ "$(id -u)" -ne 0 ]; then
  echo "SKIPPED $E2E_TEST: needs root, to hand the system root to another user and run the installer as it"
  exit 0
fi
USER_ID=65534
as_user() { setpriv --reuid="$USER_ID" --regid="$USER_ID" --clear-groups "$@"; }

# The user must reach the installer and the session's folders. A clone in a private home (root's own
# is 0700) is out of its reach: the run then takes place in a folder under /tmp, with a copy of the two
# programs the session starts, and that folder holds the artifacts.
if ! as_user test -x "$E2E_BUILD/setup" -a -x "$ART"; then
  reachable=$(mktemp -d /tmp/setup-e2e-XXXXXX)
  chmod 0755 "$reachable"
  mkdir "$reachable/build"
  cp "$E2E_BUILD/setup" "$E2E_BUILD/vantiro_window" "$reachable/build/"
  rm -rf "$ART"
  E2E_BUILD="$reachable/build"
  ART="$reachable"
  echo "the build folder is out of reach of user $USER_ID: running in $ART"
fi

e2e_session
# The machine hive exists and is root's before the first run; the user seeds the rest on its first use.
printf 'REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\Software]\r\n\r\n' >"$(SYSTEM_HIVE)"
chmod 0644 "$(SYSTEM_HIVE)"
mkdir -p "$WORK/home"
chown -R "$USER_ID:$USER_ID" "$WINROOT" "$PRODUCT" "$WORK/home"
chown 0:0 "$(SYSTEM_HIVE)"
cp "$(SYSTEM_HIVE)" "$WORK/system.reg.before"

# setpriv execs the installer, so SETUP_PID is the installer's own.
session_run_setup setpriv --reuid="$USER_ID" --regid="$USER_ID" --clear-groups \
  env HOME="$WORK/home" DISPLAY="$DISPLAY" WINROOT="$WINROOT" ${XAUTHORITY:+XAUTHORITY="$XAUTHORITY"}
wait_window "$LICENCE"
expect_eq "the installer's real and effective user" "$USER_ID $USER_ID" \
  "$(awk '$1 == "Uid:" {print $2, $3}' "/proc/$SETUP_PID/status")"

licence_agree
options_install
signup_ok "nobody@example.org"
wait_window "$BOX"
step key-error
answer_box "$BOX"
wait_for 10 "the error box to close" no_window "$BOX"

setup_running || fail "the installer ended after the error; it should wait on the installing panel"
wait_page installing
step installing-panel
expect_absent "$WINROOT/drive_c/Program Files/Vantiro" "an installation directory"
expect_absent "$WINROOT/drive_c/windows/uninst1.exe" "an uninstaller"
expect_eq "the product folder" "$(cd "$ORIGINAL" && sha256sum * | sort)" "$(cd "$PRODUCT" && sha256sum * | sort)"
expect_same_file "$WORK/system.reg.before" "$(SYSTEM_HIVE)" "the machine hive"

keys "$MAIN" alt+F4
expect_setup_ends
expect_eq "shortcut files in the root" "" "$(find "$WINROOT" -name '*.lnk')"
echo "PASS $E2E_TEST"
