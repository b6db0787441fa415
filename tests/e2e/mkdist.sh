#!/bin/bash
# mkdist.sh - the distribution builder: pieces that join to the archive byte for byte,
# the disks list, the size figures, upper-case media and the refusals.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init --no-sandbox "$1"
command -v compress >/dev/null || "$E2E_ROOT/tools/ensure-packages" ncompress >/dev/null 2>&1 ||
  e2e_skip "compress (Debian package ncompress) is missing and could not be installed"
S=$E2E_SCRATCH
MK=$E2E_ROOT/tools/mkdist
SAMPLE=$E2E_ROOT/sample/pkg
printf '#!/bin/sh\necho the installer\n' >"$S/setup-standin"
chmod 700 "$S/setup-standin"
kb() { du -sk -c "$@" | tail -n 1 | cut -f1; }

# ---------------------------------------------------------------------------------
e2e_case "the pieces join to the compressed archive byte for byte"
"$MK" --setup "$S/setup-standin" --piece-size 1K --archive "$S/whole.Z" "$SAMPLE" "$S/d1" >"$S/d1.out" 2>&1
status=$?
[ $status = 0 ] && e2e_pass "built" || e2e_fail "status $status: $(cat "$S/d1.out")"
mapfile -t pieces < <(cd "$S/d1" && ls pkg_tar.*)
n=${#pieces[@]}
[ "$n" -ge 3 ] && e2e_pass "$n pieces" || e2e_fail "only $n pieces of 1K"
expected_names=()
letters=(a b c d e f g h i j k l m n o p q r s t u v w x y z)
for ((i = 0; i < n; i++)); do
  expected_names+=("pkg_tar.${letters[i / 26]}${letters[i % 26]}")
done
e2e_assert_eq "named pkg_tar.aa, pkg_tar.ab, ..." "${pieces[*]}" "${expected_names[*]}"
(cd "$S/d1" && cat "${pieces[@]}") | cmp -s - "$S/whole.Z" && e2e_pass "joined pieces = archive" ||
  e2e_fail "the joined pieces differ from the archive"
sizes_ok=1
for ((i = 0; i < n - 1; i++)); do
  [ "$(stat -c %s "$S/d1/${pieces[i]}")" = 1024 ] || sizes_ok=0
done
last=$(stat -c %s "$S/d1/${pieces[n - 1]}")
[ $sizes_ok = 1 ] && [ "$last" -ge 1 ] && [ "$last" -le 1024 ] && e2e_pass "every piece 1024 bytes but the last" ||
  e2e_fail "piece sizes: $(cd "$S/d1" && stat -c '%n %s' "${pieces[@]}" | tr '\n' ' ')"
e2e_assert_eq "the archive is LZW (compress)" "$(head -c 2 "$S/whole.Z" | od -An -tx1 | tr -d ' ')" 1f9d
e2e_assert_file_is "$S/d1/disks" "disks ${pieces[*]}
end_of_list
"
[ "$(cat "$S/d1/setup")" = "$(cat "$S/setup-standin")" ] && [ "$(stat -c %a "$S/d1/setup")" = 755 ] &&
  e2e_pass "setup copied, mode 755" || e2e_fail "setup: $(stat -c %a "$S/d1/setup")"
e2e_assert_eq "nothing else in the distribution" "$(ls "$S/d1" | tr '\n' ' ')" "disks isize ${pieces[*]} setup tsize "

# ---------------------------------------------------------------------------------
e2e_case "the archive unpacks to pkg/ with the product's files, owned by root"
mkdir -p "$S/unz" "$S/ungz"
uncompress -c <"$S/whole.Z" >"$S/whole.tar" && e2e_pass "uncompress reads it" || e2e_fail "uncompress failed"
gzip -dc <"$S/whole.Z" | cmp -s - "$S/whole.tar" && e2e_pass "gzip -d gives the same tar" ||
  e2e_fail "gzip -d differs"
tar -C "$S/unz" -xpf "$S/whole.tar"
[ "$(tar -tf "$S/whole.tar" | head -n 1)" = pkg/ ] && [ -f "$S/unz/pkg/pkg.list" ] &&
  e2e_pass "unpacking yields pkg/pkg.list" || e2e_fail "first entry $(tar -tf "$S/whole.tar" | head -n 1)"
diff -r "$SAMPLE" "$S/unz/pkg" >"$S/diff.out" && e2e_pass "the same files as the product" ||
  e2e_fail "differs: $(head -5 "$S/diff.out")"
modes_src=$(cd "$SAMPLE" && find . -printf '%p %m\n' | sort)
modes_out=$(cd "$S/unz/pkg" && find . -printf '%p %m\n' | sort)
e2e_assert_eq "the same modes" "$modes_out" "$modes_src"
owners=$(tar --numeric-owner -tvf "$S/whole.tar" | awk '{ print $2 }' | sort -u)
e2e_assert_eq "every entry owned by 0/0" "$owners" 0/0

# ---------------------------------------------------------------------------------
e2e_case "isize and tsize in 1024-byte blocks"
isize=$(kb "$S/unz/pkg")
tsize=$(( $(cd "$S/d1" && kb disks pkg_tar.*) + $(kb "$S/whole.Z") + $(kb "$S/whole.tar") + isize ))
e2e_assert_file_is "$S/d1/isize" "$isize
"
e2e_assert_file_is "$S/d1/tsize" "$tsize
"
[ "$isize" -gt 0 ] && [ "$tsize" -gt "$isize" ] && e2e_pass "tsize $tsize > isize $isize > 0" ||
  e2e_fail "isize $isize, tsize $tsize"
e2e_assert_file_is "$S/d1.out" "mkdist: $S/d1: $n piece(s) of at most 1K, isize $isize, tsize $tsize
"

# ---------------------------------------------------------------------------------
e2e_case "upper-case media: DISKS and PKG_TAR.* named in capitals, the list in lower case"
"$MK" --upper --setup "$S/setup-standin" --piece-size 2K "$SAMPLE" "$S/d2" >/dev/null 2>"$S/d2.err"
status=$?
[ $status = 0 ] && e2e_pass "built" || e2e_fail "status $status: $(cat "$S/d2.err")"
mapfile -t up < <(cd "$S/d2" && ls PKG_TAR.*)
lower=()
for p in "${up[@]}"; do lower+=("${p,,}"); done
[ ${#up[@]} -ge 2 ] && [ "${up[0]}" = PKG_TAR.AA ] && [ "${up[1]}" = PKG_TAR.AB ] &&
  e2e_pass "pieces ${up[*]}" || e2e_fail "pieces: ${up[*]}"
e2e_assert_file_is "$S/d2/DISKS" "disks ${lower[*]}
end_of_list
"
e2e_assert_eq "no lower-case list or pieces; setup, isize and tsize as setup reads them" \
  "$(ls "$S/d2" | tr '\n' ' ')" "DISKS ${up[*]} isize setup tsize "

# ---------------------------------------------------------------------------------
e2e_case "a product folder of another name, or its parent, is stored as pkg/"
mkdir -p "$S/prod/product"
cp -a "$SAMPLE/." "$S/prod/product/"
"$MK" --setup "$S/setup-standin" --archive "$S/other.Z" "$S/prod/product" "$S/d3" >/dev/null 2>&1 &&
  [ "$(uncompress -c <"$S/other.Z" | tar -tf - | grep -v '^pkg/' | wc -l)" = 0 ] &&
  e2e_pass "product/ stored as pkg/" || e2e_fail "other names in the archive"
mkdir -p "$S/prod2"
cp -a "$SAMPLE" "$S/prod2/pkg"
"$MK" --setup "$S/setup-standin" "$S/prod2" "$S/d4" >/dev/null 2>&1 && [ -f "$S/d4/pkg_tar.aa" ] &&
  e2e_pass "a folder holding pkg/" || e2e_fail "the parent of pkg/ was refused"

# ---------------------------------------------------------------------------------
e2e_case "refusals say why and leave an earlier distribution alone"
refuses() {
  local want=$1
  shift
  "$MK" "$@" >"$S/ref.out" 2>"$S/ref.err"
  local status=$?
  if [ $status != 0 ] && [ "$(cat "$S/ref.err")" = "$want" ]; then
    e2e_pass "$want"
  else
    e2e_fail "status $status, stderr '$(cat "$S/ref.err")', expected '$want'"
  fi
}
refuses "mkdist: $S holds no pkg.list (nor pkg/pkg.list)" --setup "$S/setup-standin" "$S" "$S/d5"
refuses "mkdist: no installer at $S/none (build it, or name one with --setup)" --setup "$S/none" "$SAMPLE" "$S/d5"
refuses "mkdist: $S/d1 is not empty (use --force to replace an earlier distribution)" \
  --setup "$S/setup-standin" "$SAMPLE" "$S/d1"
refuses "mkdist: --piece-size 1x is not a size (bytes, or a number with K, M or G)" \
  --setup "$S/setup-standin" --piece-size 1x "$SAMPLE" "$S/d5"
zsize=$(stat -c %s "$S/whole.Z")
tiny=$(( (zsize + 9) / 10 ))
refuses "mkdist: $tiny pieces make a list of $((5 + 11 * tiny + 13)) bytes; setup reads at most 4095: choose a larger --piece-size" \
  --setup "$S/setup-standin" --piece-size 10 "$SAMPLE" "$S/d6"
[ -z "$(ls -A "$S/d6")" ] && e2e_pass "no pieces left behind" || e2e_fail "left: $(ls -A "$S/d6" | head -3)"
e2e_assert_eq "the refused run left d1 as it was" "$(cat "$S/d1/disks")" "disks ${pieces[*]}"$'\n'end_of_list
echo keep >"$S/d1/notes"
"$MK" --force --setup "$S/setup-standin" "$SAMPLE" "$S/d1" >/dev/null 2>&1
e2e_assert_eq "--force replaces the distribution's files and keeps others" "$(ls "$S/d1" | tr '\n' ' ')" \
  "disks isize notes pkg_tar.aa setup tsize "

e2e_finish
