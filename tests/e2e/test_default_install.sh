#!/usr/bin/env bash
# The default road: Agree, Install with the options as they come, an e-mail address, OK, then Exit with
# both programs cleared. Everything lands where it should, the sign-up notice arrives once on a
# connection that stays open until the installer ends, and nothing is started.
source "$(dirname "$0")/lib.sh"

e2e_session
# Typed as UTF-8 on the display; the notice carries the installer's code page, Windows-1252.
EMAIL="zoë.müller@example.org"
session_run_setup

licence_agree
options_install
signup_ok "$EMAIL"
wait_page completed
step completed

# The installation is complete while the installer still runs.
expect_installed 'C:\Program Files\Vantiro'
expect_start_menu_links 'C:\Program Files\Vantiro'
expect_eq "shortcuts on the desktop" "" "$(ls -A "$(desktop_dir)")"

# One connection, the notice on it, still open.
wait_for 10 "the sign-up notice" test -s "$RECEIVED/conn-1.part"
expect_eq "connections so far" "conn-1" "$(connections | tr '\n' ' ' | sed 's/ $//')"
expect_file "$RECEIVED/conn-1.open" "the open connection's mark (the installer still runs)"
expect_absent "$RECEIVED/conn-1.bin" "a closed connection (the installer still runs)"

completion_toggle_run
completion_toggle_notes
step both-cleared
completion_exit
expect_setup_ends

# The connection closes with the installer, and carried exactly the one notice.
wait_for 10 "the sign-up connection to close after the installer ended" test -f "$RECEIVED/conn-1.bin"
expect_absent "$RECEIVED/conn-1.open"
expect_eq "connections in all" "conn-1" "$(connections | tr '\n' ' ' | sed 's/ $//')"
notice=$(iconv -f CP1252 -t UTF-8 "$RECEIVED/conn-1.bin")
[[ "$notice" =~ ^Vantiro\ 1\.1\ -\ ([0-9]{4}-[0-9]{2}-[0-9]{2}\ [0-9]{2}:[0-9]{2}:[0-9]{2})\ -\ (.*)$ ]] ||
  fail "the notice should read 'Vantiro 1.1 - YYYY-MM-DD HH:MM:SS - $EMAIL'; it reads '$notice'"
stamp=${BASH_REMATCH[1]}
expect_eq "address in the notice" "$EMAIL" "${BASH_REMATCH[2]}"
printf 'Vantiro 1.1 - %s - %s' "$stamp" "$EMAIL" | iconv -f UTF-8 -t CP1252 >"$WORK/expected-notice.bin"
cmp -s "$WORK/expected-notice.bin" "$RECEIVED/conn-1.bin" ||
  fail "the bytes received are not the notice in Windows-1252 with nothing before or after it:
    expected: $(od -An -tx1 "$WORK/expected-notice.bin" | tr -d " \n")
    received: $(od -An -tx1 "$RECEIVED/conn-1.bin" | tr -d " \n")"
seconds=$(date -d "$stamp" +%s) || fail "the notice's time is no date: $stamp"
((seconds >= E2E_BEGAN && seconds <= $(date +%s))) ||
  fail "the notice's time $stamp is not the local time of this run (began $(date -d "@$E2E_BEGAN" '+%F %T'))"

# Nothing was started on Exit.
no_window Vantiro || fail "a Vantiro window appeared although 'Run Vantiro Now' was cleared"
expect_eq "processes of the installed program" "" "$(pids_running "$(host_path 'C:\Program Files\Vantiro\vantro.exe')")"
echo "PASS $E2E_TEST"
