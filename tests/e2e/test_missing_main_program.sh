#!/usr/bin/env bash
# The product folder lacks vantro.exe. After OK on the sign-up panel the copy error is shown; after OK
# there the installer ends. The shipped files stay where they are, nothing is installed and no
# uninstall entry is made; only the product key, written before the copies, is there.
source "$(dirname "$0")/lib.sh"

e2e_session
rm "$PRODUCT/vantro.exe" "$ORIGINAL/vantro.exe"
session_run_setup

licence_agree
options_install
signup_ok "missing@example.org"
wait_window "$BOX"
step copy-error
# The copy error's text is much wider than the installer's other boxes (its second line runs on).
read -r width _ < <(window_size "$BOX")
((width > 400)) || fail "the box shown is ${width} px wide; the copy error's box is over 400 px wide"
answer_box "$BOX"
expect_setup_ends

expect_eq "the product folder" "$(cd "$ORIGINAL" && sha256sum * | sort)" "$(cd "$PRODUCT" && sha256sum * | sort)"
expect_eq "files in the installation directory" "" "$(ls -A "$(host_path 'C:\Program Files\Vantiro')" 2>/dev/null)"
expect_absent "$WINROOT/drive_c/windows/uninst1.exe" "an uninstaller"
expect_eq "shortcut files in the root" "" "$(find "$WINROOT" -name '*.lnk')"
reg_has_key "$(SYSTEM_HIVE)" "$UNINSTALL_KEY" && fail "the uninstall entry was written"
expect_eq "installdir in $PRODUCT_KEY" 'C:\Program Files\Vantiro' "$(reg_value "$(SYSTEM_HIVE)" "$PRODUCT_KEY" installdir)"
echo "PASS $E2E_TEST"
