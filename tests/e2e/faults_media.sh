#!/bin/bash
# faults_media.sh - whole installations from spoilt distributions: a piece missing,
# corrupt or not listed in SHA256SUMS (and missing from media without one), a
# malformed SHA256SUMS, an archive without pkg.list, and a package list whose line cannot
# stand in a command line. The faulty run starts the spoilt distribution's setup; the
# second run takes the sound one.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
fault_init "${1:-}" "A spoilt distribution"
e2e_make_dist pieces --piece-size 2K >/dev/null || { echo "FAIL: mkdist"; exit 1; }
PIECES=$E2E_DIST
[ -f "$PIECES/pkg_tar.ac" ] || { echo "FAIL: the sample should make at least three pieces"; exit 1; }

# spoilt NAME CODE: a case whose faulty run is the setup of a copy of the
# distribution of pieces spoilt by CODE.
spoilt() {
  fault_case "$1" FAULT_DIST="$PIECES"
  FAULT_RUN="$(e2e_spoil_dist "$FAULT_SLUG" "$PIECES" "$2")/setup"
}

# With SHA256SUMS (as mkdist writes it) a damaged distribution is refused before
# anything on the host changes.
for row in "a piece named in disks is missing#rm pkg_tar.ab#pkg_tar.ab: missing" \
  "a piece is corrupt (its bytes overwritten)#printf %01000d 0 | dd of=pkg_tar.aa bs=1 seek=500 conv=notrunc status=none#pkg_tar.aa: checksum mismatch" \
  "a piece is not listed in SHA256SUMS#sed -i /pkg_tar.ab/d SHA256SUMS#pkg_tar.ab: not listed" \
  "SHA256SUMS has a line of another form#echo junk >>SHA256SUMS#SHA256SUMS: line $(($(wc -l <"$PIECES/SHA256SUMS") + 1)) is not a digest and a file name"; do
  IFS='#' read -r name code said <<<"$row"
  spoilt "$name" "$code"
  fault_try 1 "ERROR: the distribution is damaged: $said"
  e2e_assert_nothing_changed
  fault_done
done
# Without SHA256SUMS (older media) a damaged piece is found only when it is used.
spoilt "without SHA256SUMS, a piece named in disks is missing" 'rm SHA256SUMS pkg_tar.ab'
fault_try 1 "ERROR: command exited with status 1"
e2e_assert_log_has "pkg_tar.ab': No such file or directory" "no SHA256SUMS in"
e2e_assert_unchanged /usr/Kandu/tvnn
fault_done
# The archive made anew without pkg/pkg.list, in pieces of 2 KB as before.
spoilt "the archive holds no pkg.list" 'rm SHA256SUMS && cat pkg_tar.* >a.tar.Z && rm pkg_tar.* && uncompress a.tar.Z &&
  mkdir u && tar -C u -xf a.tar && rm u/pkg/pkg.list a.tar && tar -C u --owner=root --group=root -cf a.tar pkg &&
  rm -r u && compress a.tar && split -b 2K -a 2 a.tar.Z pkg_tar. && rm a.tar.Z &&
  printf "disks %s\nend_of_list\n" "$(echo pkg_tar.*)" >disks'
fault_try 0 "ERROR: can't open file, /tmp/KanduInstall/pkg/pkg.list"
e2e_assert_change created /usr/Kandu/tvnn/.tv_cfg
fault_done
e2e_make_dist quote --product "$(e2e_spoil_dist quote-product "$E2E_ROOT/sample/pkg" \
  'printf "m tavlo.conf sed -e \"s/a/b/\"\n" >>pkg.list')" --no-check >/dev/null
fault_case "a double quote in the arguments of sed" FAULT_RUN="$E2E_DIST/setup"
fault_try 1 "ERROR: a double quote cannot stand in a command line, not run: sed -e \"s/a/b/\" /usr/Kandu/tvnn/tavlo.conf"
fault_done "ERROR: a double quote cannot stand in a command line, not run: sed -e \"s/a/b/\" ..."

e2e_finish
