# Helpers for the login end-to-end tests, on top of lib.sh: an installation with the
# stand-in game client and numbered messages, and the main window's places. Source it after
# lib.sh.

# nb_login_install DIR: an installation at the published build, with the stand-in game
# client and numbered messages.
nb_login_install() {
  nb_make_numbered_install "$1" 1000 1.0.0
  cp "$NB_SRC/demo/Vd.exe" "$1/Vd.exe"
  chmod +x "$1/Vd.exe"
}

# Places on the main window (centres of the controls).
NB_AT_ZONE_TAB0="346 311"
NB_AT_START="854 566"
NB_AT_BACK="254 541"
NB_AT_ACCOUNT="527 497"
NB_AT_PASSWORD="527 536"
# nb_at_grid I: the centre of grid server button I.
nb_at_grid() { echo "$((412 + 102 * ($1 % 3) + 45)) $((139 + 47 * ($1 / 3) + 13))"; }

# nb_standin_code: the code of the verification picture the stand-in issued last.
nb_standin_code() {
  curl -s --noproxy '*' "http://$NB_ACCOUNT_HOST/_standin/code?latest"
}

# nb_gbk TEXT: the code page 936 bytes of a UTF-8 text.
nb_gbk() { printf '%s' "$1" | iconv -f UTF-8 -t CP936; }
