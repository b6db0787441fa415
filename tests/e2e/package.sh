#!/bin/bash
# package.sh - the Debian package of the library's programs, installed, used and removed
# with dpkg inside the sandbox: its programs run, its manual pages are found, and its
# removal leaves none of its files behind.
#   tests/e2e/package.sh BUILD_DIR
set -uo pipefail

. "$(dirname "$0")/lib.sh"
e2e_init "$@"
for p in menu ttyhelp xdb nlscompile; do
  [ -x "$E2E_BUILD/bin/$p" ] || { echo "FAIL: $p is not built"; exit 1; }
done
command -v cpack >/dev/null || e2e_skip "cpack is missing"
cd "$E2E_SCRATCH" || exit 1
E2E_STDOUT=$E2E_SCRATCH/out E2E_STDERR=$E2E_SCRATCH/err

e2e_case "cpack -G DEB"
cpack -G DEB --config "$E2E_BUILD/CPackConfig.cmake" -B "$E2E_SCRATCH/pkg" >"$E2E_STDOUT" 2>"$E2E_STDERR"
E2E_STATUS=$?
e2e_assert_status 0
deb=$(ls "$E2E_SCRATCH"/pkg/*.deb 2>/dev/null | head -1)
[ -n "$deb" ] || { e2e_fail "no package was made"; e2e_finish; }
name=$(dpkg-deb -f "$deb" Package)
version=$(dpkg-deb -f "$deb" Version)
dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $6); print $6 }' >files
e2e_assert_file_has files /usr/bin/xdb /usr/bin/menu /usr/share/man/man1/xdb.1 /usr/share/man/man5/menu.5 \
  /usr/share/tvnn/db/en_US/CoreString.xdb /usr/share/tvnn/trans.conf /usr/share/tvnn/help/setup.html \
  /usr/share/bash-completion/completions/xdb
e2e_assert_file_lacks files /usr/bin/setup

# Installed, used and removed in one sandbox; "left:" names each file still there.
e2e_case "dpkg -i, the programs, dpkg -r"
"$E2E_SANDBOX" --report "$E2E_SCRATCH/report" -- bash -c '
  dpkg -i "$1" >/dev/null || exit 10
  menu --version; xdb --help | head -1; man -w xdb; man -w 5 menu
  ttyhelp --dump /usr/share/tvnn/help/setup.html running | head -1 | tr -s " "
  dpkg -r "$2" >/dev/null || exit 11
  while read -r f; do [ -e "$f" ] && echo "left: $f"; done <"$3"
  exit 0' sh "$deb" "$name" "$E2E_SCRATCH/files" >"$E2E_STDOUT" 2>"$E2E_STDERR"
E2E_STATUS=$?
e2e_assert_status 0
e2e_assert_eq "what the installed programs said" "$(cat "$E2E_STDOUT")" \
  "$(printf 'menu %s\nusage: xdb COMMAND DB [ARGUMENT...]\n/usr/share/man/man1/xdb.1\n/usr/share/man/man5/menu.5\n Running setup' "$version")"
# Nothing but dpkg's own records, its log and the manual page index differs afterwards.
e2e_assert_eq "changes left behind" \
  "$(awk -F'\t' '$2 !~ "^/var/lib/dpkg/" && $2 != "/var/log/dpkg.log" && $2 !~ "^/var/cache/man/" { print $1, $2 }' "$E2E_SCRATCH/report")" ""
e2e_finish
