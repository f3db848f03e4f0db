#!/usr/bin/env bash
# Both option boxes turned over: "Add Icon to Deskop" ticked, "Add Link to Start Menu" cleared. The
# desktop gets one shortcut, named Vantiro.lnk (the working name vantro.lnk is renamed away), and the
# Start Menu gets nothing.
source "$(dirname "$0")/lib.sh"

e2e_session
session_run_setup

licence_agree
options_toggle_desktop
options_toggle_start_menu
step boxes-turned
options_install
signup_ok "desk.top@example.org"
wait_page completed
completion_toggle_run
completion_toggle_notes
completion_exit
expect_setup_ends

expect_installed 'C:\Program Files\Vantiro'
desktop=$(desktop_dir)
expect_link "$desktop/Vantiro.lnk" 'C:\Program Files\Vantiro\vantro.exe'
expect_eq "files on the desktop" "Vantiro.lnk" "$(ls -A "$desktop")"
expect_absent "$(start_menu_dir)" "the Start Menu folder (its box was cleared)"
expect_eq "shortcut files in the root" "$desktop/Vantiro.lnk" "$(find "$WINROOT" -name '*.lnk')"
echo "PASS $E2E_TEST"
