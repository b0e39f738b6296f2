# Links a CJK font behind the user-interface fonts of the Wine prefix
# $WINEPREFIX, so that Chinese captions and menus show their characters
# instead of empty boxes (Debian's fonts-wqy-microhei). Sourced by the run
# script and the test session:  link_cjk_font WINE64
link_cjk_font() {
  local face
  for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
    "$1" reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
      /v "$face" /t REG_MULTI_SZ /d 'wqy-microhei.ttc,WenQuanYi Micro Hei' /f >/dev/null 2>&1 || return 1
  done
}
