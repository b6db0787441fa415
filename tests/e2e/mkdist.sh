#!/bin/bash
# mkdist.sh - the distribution builder: pieces that join to the archive byte for byte,
# the archive's content, the disks list, the size figures, the product folder's name,
# the refusals and --force.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init --no-sandbox "${1:-}"
command -v compress >/dev/null || "$E2E_ROOT/tools/ensure-packages" ncompress >/dev/null 2>&1 ||
  e2e_skip "compress (Debian package ncompress) is missing and could not be installed"
S=$E2E_SCRATCH
mk() { "$E2E_ROOT/tools/mkdist" --build "$E2E_BUILD" "$@"; }
SAMPLE=$E2E_ROOT/sample/pkg
printf '#!/bin/sh\necho the installer\n' >"$S/setup-standin"
chmod 700 "$S/setup-standin"
kb() { du -sk -c "$@" | tail -n 1 | cut -f1; }

e2e_case "pieces of 1K named pkg_tar.aa, .ab, ... that join to the compressed archive, listed in disks"
mk --setup "$S/setup-standin" --piece-size 1K --archive "$S/whole.Z" "$SAMPLE" "$S/d1" >"$S/d1.out" 2>&1
e2e_assert_eq "status" "$?" 0
mapfile -t pieces < <(cd "$S/d1" && ls pkg_tar.*)
n=${#pieces[@]}
e2e_check "$n pieces, at least 3" test "$n" -ge 3
e2e_assert_eq "names" "${pieces[*]}" "$(printf 'pkg_tar.%s ' {a..z}{a..z} | cut -d' ' -f1-"$n")"
e2e_check "joined pieces = archive" cmp -s <(cd "$S/d1" && cat "${pieces[@]}") "$S/whole.Z"
e2e_assert_eq "sizes but the last; the archive is LZW (compress)" "$(cd "$S/d1" && stat -c %s "${pieces[@]:0:n-1}" |
  sort -u) $(head -c 2 "$S/whole.Z" | od -An -tx1 | tr -d ' ')" "1024 1f9d"
e2e_assert_eq "disks" "$(cat "$S/d1/disks")" "disks ${pieces[*]}"$'\nend_of_list'
e2e_assert_eq "setup copied, mode 755" "$(cat "$S/d1/setup"; stat -c %a "$S/d1/setup")" $'#!/bin/sh\necho the installer\n755'
e2e_assert_eq "nothing else in the distribution" "$(LC_ALL=C ls "$S/d1" | tr '\n' ' ')" "SHA256SUMS disks isize ${pieces[*]} setup tsize "
e2e_assert_eq "SHA256SUMS: the list, the size records, the pieces; all match" \
  "$(cd "$S/d1" && sha256sum -c --quiet SHA256SUMS && cut -c67- SHA256SUMS | xargs)" "disks isize tsize ${pieces[*]}"

e2e_case "the archive unpacks to pkg/ with the product's files and modes, owned by root"
mkdir -p "$S/unz"
uncompress -c <"$S/whole.Z" >"$S/whole.tar"
tar -C "$S/unz" -xpf "$S/whole.tar"
e2e_check "the same files as the product" diff -r "$SAMPLE" "$S/unz/pkg"
e2e_assert_eq "the same modes" "$(cd "$S/unz/pkg" && find . -printf '%p %m\n' | sort)" \
  "$(cd "$SAMPLE" && find . -printf '%p %m\n' | sort)"
e2e_assert_eq "first entry; owners" \
  "$(tar --numeric-owner -tvf "$S/whole.tar" | awk 'NR == 1 { print $6 } { print $2 }' | sort -u | xargs)" "0/0 pkg/"

e2e_case "isize and tsize in 1024-byte blocks"
isize=$(kb "$S/unz/pkg")
tsize=$(($(cd "$S/d1" && kb disks pkg_tar.*) + $(kb "$S/whole.Z") + $(kb "$S/whole.tar") + isize))
e2e_check "tsize $tsize > isize $isize > 0" test "$tsize" -gt "$isize" -a "$isize" -gt 0
e2e_assert_eq "isize, tsize and mkdist's line" "$(cat "$S/d1/isize" "$S/d1/tsize" "$S/d1.out")" \
  "$isize"$'\n'"$tsize"$'\n'"mkdist: $S/d1: $n piece(s) of at most 1K, isize $isize, tsize $tsize"

# (A product folder of another name is what the suites' spoilt products are; upper-case
# media are setup_install's.)
e2e_case "the parent of a folder pkg/ is a product too"
mkdir -p "$S/prod" && cp -a "$SAMPLE" "$S/prod/pkg" && mk --setup "$S/setup-standin" "$S/prod" "$S/d4" >/dev/null
e2e_check "built" test -f "$S/d4/pkg_tar.aa"

e2e_case "refusals say why and leave an earlier distribution alone; --force replaces it"
tiny=$((($(stat -c %s "$S/whole.Z") + 9) / 10))
for row in "$S: holds no pkg.list (nor pkg/pkg.list)|$S $S/d5" \
  "$S/none: no installer there (build it, or name one with --setup)|--setup $S/none $SAMPLE $S/d5" \
  "$S/d1: not empty (use --force to replace an earlier distribution)|$SAMPLE $S/d1" \
  "--piece-size: 1x is not a size (bytes, or a number with K, M or G)|--piece-size 1x $SAMPLE $S/d5" \
  "$S/d6/disks: $tiny pieces make a list of $((5 + 11 * tiny + 13)) bytes; setup reads at most 4095: choose a larger --piece-size|--piece-size 10 $SAMPLE $S/d6"; do
  # shellcheck disable=SC2086
  mk --setup "$S/setup-standin" ${row#*|} >/dev/null 2>"$S/ref.err"
  e2e_assert_eq "refused" "$? $(cat "$S/ref.err")" "1 mkdist: ${row%%|*}"
done
e2e_assert_eq "no pieces left behind, d1 as it was" "$(ls -A "$S/d6"; cat "$S/d1/disks")" \
  "disks ${pieces[*]}"$'\nend_of_list'
echo keep >"$S/d1/notes"
mk --force --setup "$S/setup-standin" "$SAMPLE" "$S/d1" >/dev/null 2>&1
e2e_assert_eq "--force keeps other files" "$(LC_ALL=C ls "$S/d1" | tr '\n' ' ')" "SHA256SUMS disks isize notes pkg_tar.aa setup tsize "

e2e_case "the package list read by the installer's own reader: every problem by its line, nothing built"
n=$(wc -l <"$SAMPLE/pkg.list")
mkdir -p "$E2E_SCRATCH/dist"
BAD=$(e2e_spoil_dist bad-product "$SAMPLE" 'rm qmf; printf "cc tvadmin\nc nothere\nc tavlo frob 1\nm gone sed s/a/b/
c tavlo bat ../x\ndirto lib\n%0600d\nc a;b\nv ~ 1 c tavlo\n" 0 >>pkg.list')
mk --setup "$S/setup-standin" "$BAD" "$S/d7" 2>"$S/check.err"
e2e_assert_eq "status, no distribution" "$? $(ls "$S/d7" 2>&1 | wc -l)" "1 1"
e2e_assert_eq "problems, warning" "$(cat "$S/check.err")" "pkg.list:$(grep -n '^c qmf' "$SAMPLE/pkg.list" | cut -d: -f1): qmf is not in pkg/
pkg.list:$((n + 1)): unknown command 'cc'
pkg.list:$((n + 2)): nothere is not in pkg/
pkg.list:$((n + 3)): unknown attribute 'frob'
pkg.list:$((n + 4)): sed edits gone, which is not in pkg/
pkg.list:$((n + 5)): launcher name '../x' would not stand in /usr/bin
pkg.list:$((n + 6)): 'dirto' lacks its destination
pkg.list:$((n + 7)): line longer than 510 characters: setup skips it
pkg.list:$((n + 8)): unsafe name 'a;b': it contains the character ;
pkg.list:$((n + 8)): a;b is not in pkg/
pkg.list:$((n + 9)): unknown operator '~'
mkdist: $BAD/pkg.list: warning: pkg/ has no qmf, which setup calls after the list
mkdist: $BAD/pkg.list: the problems above; nothing built (--no-check builds anyway)"
mk --no-check --setup "$S/setup-standin" "$BAD" "$S/d7" >/dev/null 2>&1
e2e_assert_eq "--no-check builds" "$? $(cat "$S/d7/disks" | head -c 5)" "0 disks"
e2e_assert_eq "--version, --help" "$(mk --version; mk --help | head -n 1)" "mkdist $(sed -n 's/.*SETUP_VERSION = "\(.*\)";/\1/p' \
  "$E2E_ROOT/setup/setup.h")
usage: mkdist [options] PRODUCT OUTDIR"

e2e_finish
