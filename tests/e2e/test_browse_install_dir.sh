#!/usr/bin/env bash
# Browse to another folder: the chooser opens on C:\, a click on a folder enters it, and OK puts that
# folder's \Vantiro into "Install to:". The installation then goes there, although browsing moved the
# current directory away from the product folder.
source "$(dirname "$0")/lib.sh"

e2e_session
# C:\Apps\Net Tools, with one folder inside so that the list shows when Net Tools has been entered.
mkdir -p "$WINROOT/drive_c/Apps/Net Tools/bin"
DIR='C:\Apps\Net Tools\Vantiro'
session_run_setup

licence_agree
options_browse
# C:\ (entry 0) with Apps, users, windows below it.
wait_for 10 "the directory list to show C:\\'s folders" list_entry_written 3
step chooser
click_in "$CHOOSER" 60 "$(list_entry_y 1)"  # Apps
# C:\, Apps, Net Tools: the fourth entry empties.
wait_for 10 "C:\\Apps to be entered" list_entry_blank 3
click_in "$CHOOSER" 80 "$(list_entry_y 2)"  # Net Tools
# C:\, Apps, Net Tools, bin.
wait_for 10 "C:\\Apps\\Net Tools to be entered" list_entry_written 3
step net-tools-entered
chooser_ok
wait_for 10 "the chooser to close" no_window "$CHOOSER"
wait_page options
step options-after-browse

options_install
signup_skip
wait_page completed
completion_toggle_run
completion_toggle_notes
completion_exit
expect_setup_ends

expect_installed "$DIR"
expect_start_menu_links "$DIR"
expect_absent "$WINROOT/drive_c/Program Files/Vantiro" "the default installation directory"
echo "PASS $E2E_TEST"
