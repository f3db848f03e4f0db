#!/usr/bin/env bash
# The two ways out before anything is installed: Cancel on the licence dialog, Quit on the options
# page. Either ends the installer and leaves the system and the product folder as they were.
source "$(dirname "$0")/lib.sh"

for road in cancel-licence quit-options; do
  e2e_session "$road"
  session_run_setup
  wait_window "$LICENCE"
  step "$road-licence"
  case $road in
    cancel-licence)
      licence_cancel ;;
    quit-options)
      licence_agree
      options_quit ;;
  esac
  expect_setup_ends
  no_window "$MAIN" || fail "$road: the main window is still shown"
  expect_nothing_installed
  expect_no_connection
  e2e_session_end
done
echo "PASS $E2E_TEST"
