#!/usr/bin/env bash
# Exit with "Run Vantiro Now" and "View Release Notes" ticked, as they come: the installed program
# opens its window, and the Windows directory's text editor gets the installed release notes as one
# argument, although their path holds a space.
source "$(dirname "$0")/lib.sh"

e2e_session
# The root's text-editor launcher, replaced before the first run (seeding leaves an existing one alone)
# by one that records how it was called.
mkdir -p "$WINROOT/drive_c/windows"
cat >"$WINROOT/drive_c/windows/notepad.exe" <<SCRIPT
#!/bin/sh
{ echo "\$#"; for a in "\$@"; do printf '%s\n' "\$a"; done; } >"$WORK/editor-args.tmp"
mv "$WORK/editor-args.tmp" "$WORK/editor-args"
SCRIPT
chmod 755 "$WINROOT/drive_c/windows/notepad.exe"
installed_program=$(host_path 'C:\Program Files\Vantiro\vantro.exe')

session_run_setup
licence_agree
options_install
signup_skip
wait_page completed
step both-ticked
completion_exit
expect_setup_ends

wait_window Vantiro
step program-started
pid=$(pid_of_window Vantiro)
[ -n "$pid" ] || pid=$(pids_running "$installed_program" | head -n 1)
[ -n "$pid" ] || fail "no process found for the Vantiro window"
SESSION_PIDS+=("$pid")  # ended with the session, should a check below fail
expect_eq "the Vantiro window's program" "$(readlink -f "$installed_program")" "$(readlink -f "/proc/$pid/exe")"

wait_for 10 "the text editor to be started" test -f "$WORK/editor-args"
expect_eq "how many arguments the editor got" 1 "$(head -n 1 "$WORK/editor-args")"
document=$(sed -n 2p "$WORK/editor-args")
[[ "$document" == /* ]] || fail "the editor's argument is no host path: '$document'"
expect_eq "the document the editor got (resolved)" "$(readlink -f "$(host_path 'C:\Program Files\Vantiro\readme.txt')")" \
  "$(readlink -f "$document")"
expect_same_file "$ORIGINAL/readme.txt" "$document" "the document the editor got"

kill "$pid"
wait_for 10 "the Vantiro window to close" no_window Vantiro
echo "PASS $E2E_TEST"
