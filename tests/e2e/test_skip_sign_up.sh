#!/usr/bin/env bash
# Skip on the sign-up panel: the installation is the same as with an address, and no connection is
# ever made to the sign-up server.
source "$(dirname "$0")/lib.sh"

e2e_session
session_run_setup

licence_agree
options_install
signup_skip
wait_page completed
step completed
expect_no_connection

completion_toggle_run
completion_toggle_notes
completion_exit
expect_setup_ends

expect_installed 'C:\Program Files\Vantiro'
expect_start_menu_links 'C:\Program Files\Vantiro'
expect_no_connection
echo "PASS $E2E_TEST"
