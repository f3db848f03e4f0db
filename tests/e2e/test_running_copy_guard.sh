#!/usr/bin/env bash
# A window titled "Vantiro" is open when the installer starts: the installer says so in a box before
# any other window, and after OK ends by itself about a second later, having written nothing.
source "$(dirname "$0")/lib.sh"

e2e_session
"$E2E_BUILD/vantiro_window" >"$WORK/vantiro.log" 2>&1 &
SESSION_PIDS+=($!)
vantiro_pid=$!
wait_window Vantiro

session_run_setup
first_window() { has_window "$BOX" || has_window "$LICENCE" || has_window "$MAIN"; }
wait_for 10 "the installer's first window" first_window
step first-window
has_window "$BOX" || fail "the first window should be the box '$BOX'; visible windows: $(window_titles)"
no_window "$LICENCE" || fail "the licence dialog is shown together with the running-copy box"
no_window "$MAIN" || fail "the main window is shown together with the running-copy box"

answer_box "$BOX"
expect_setup_ends 10
no_window "$BOX" || fail "the box is still shown after the installer ended"
kill -0 "$vantiro_pid" 2>/dev/null || fail "the running Vantiro window's program ended with the installer"
has_window Vantiro || fail "the running Vantiro window is gone"

expect_nothing_installed
expect_no_connection
echo "PASS $E2E_TEST"
