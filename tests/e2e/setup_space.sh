#!/bin/bash
# setup_space.sh - the free-space check in whole runs against fake df and du: separate and
# shared file systems, reclaimable old trees, a new installation directory probed at its
# nearest existing parent, a df without a figure, and missing or empty size records.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

# df: the longest prefix of its argument in /etc/fake-df ("PREFIX DEVICE AVAIL"; AVAIL
# "-" for a heading without an available column) gives the device and its figure.
DF=$(e2e_fake_tool df '
echo "$1" >>/tmp/df.calls
best=""; dev=""; avail=""
while read -r pre d a; do
  case "$1" in "$pre"*) [ ${#pre} -gt ${#best} ] && { best=$pre; dev=$d; avail=$a; } ;; esac
done </etc/fake-df
if [ "$avail" = - ]; then echo "Filesystem 1K-blocks Used Free"; echo "$dev 1000 0 0"; exit 0; fi
echo "Filesystem 1K-blocks Used Available Use% Mounted on"
echo "$dev 1000 0 $avail 0% /mnt/$dev"')
# du -s: the size of its path in /etc/fake-du ("PATH SIZE"), 0 otherwise.
DU=$(e2e_fake_tool du '
p=$2; [ "$1" = -s ] || p=$1
echo "$p" >>/tmp/du.calls
size=$(awk -v p="$p" "\$1 == p { print \$2 }" /etc/fake-du)
printf "%s\t%s\n" "${size:-0}" "$p"')
# Not root: a run that passed the check stops right after it.
WHOAMI=$(e2e_fake_tool whoami 'echo operator')
PASSED="operator is logged in"

# Each row: a run with size records ISIZE and TSIZE ("-": none; "dir": a folder), the
# fakes' tables DF and DU and the arguments ARGS; its standard output holds OUTPUT (and
# not LACKS), df was asked for CALLS (one a line; "-": not checked) and du for the paths
# of DU, in order. The old trees (/tmp/KanduInstall, /usr/Kandu/tvnn) exist when DU
# names them.
SAME="on the same partition as the install directory you have selected,"
INST="to perform the installation activities. The install area should be at least"
WORK="to perform the installation activities. The temporary work area should be at least"
MISSING="Could not determine how much space needed for install, missing isize."
OLD='/tmp/KanduInstall 30\n/usr/Kandu/tvnn 40\n' NEW='/tmp tmpfs 1000\n/ rootfs 1000\n/opt optfs '
dist=$E2E_SCRATCH/sizes
while IFS='|' read -r name isize tsize df du args output calls lacks; do
  e2e_case "$name"
  rm -rf "$dist"
  cp -a "$SAMPLE" "$dist"
  rm "$dist/SHA256SUMS"  # size records of the row's own: unverified media
  for f in isize:$isize tsize:$tsize; do
    rm -f "$dist/${f%:*}"
    case ${f#*:} in -) ;; dir) mkdir "$dist/${f%:*}" ;; *) echo "${f#*:}" >"$dist/${f%:*}" ;; esac
  done
  # shellcheck disable=SC2086
  e2e_run_setup --status 0 --dist "$dist" --tool "$DF" --tool "$DU" --tool "$WHOAMI" --prepare "printf '$df' >/etc/fake-df
    printf '$du' >/etc/fake-du; for p in \$(cut -d' ' -f1 /etc/fake-du); do mkdir -p \$p; done" -- $args
  e2e_assert_said "$output"
  [ -z "$lacks" ] || e2e_assert_file_lacks "$E2E_STDOUT" "$lacks"
  [ "$calls" = - ] || e2e_assert_eq "df's calls" "$(cat "$E2E_STATE/tmp/df.calls" 2>/dev/null)" "$(printf %b "$calls")"
  e2e_assert_eq "du's calls" "$(cat "$E2E_STATE/tmp/du.calls" 2>/dev/null)" "$(printf '%b' "$du" | cut -d' ' -f1)"
done <<ROWS
separate file systems: the needs of 90 and 140 are met|100|50|/tmp tmpfs 95\n/ rootfs 150\n|||$PASSED|/tmp\n/usr\n/usr
one file system with 200 free: too little for both|100|50|/ disk 200\n|||$SAME /usr this install requires 2.300000e+02|-
one file system: the old work area and product tree count as free|50|40|/ disk 100\n|$OLD||$PASSED|-
one file system: one block more than the old trees free|51|40|/ disk 100\n|$OLD||requires 1.710000e+02|-
separate file systems, too little on both|100|50|/tmp tmpfs 30\n/ rootfs 30\n|||$WORK 9.000000e+01|-|install area
separate file systems, too little for the product|100|50|/tmp tmpfs 95\n/ rootfs 139\n|||in /usr $INST 1.400000e+02|-
a new directory is probed at its parent|10|10|${NEW}17\n||install /opt/new/dir|$SAME /opt/new/dir|/tmp\n/opt\n/opt
a new directory: 18 is too little for 50|10|10|${NEW}18\n||install /opt/new/dir|in /opt/new/dir $INST 5.000000e+01|-
a new directory: 50 suffices|10|10|${NEW}50\n||install /opt/new/dir|$PASSED|-
a df without an available figure for the work area skips the check|99999|99999|/tmp tmpfs -\n/ rootfs 10\n|||$PASSED|-
a size record without a number counts as 0|dir|10|/ disk 1000\n|||$PASSED|-
isize missing: nothing is measured|-|50|/ disk 1000\n|||$MISSING|
tsize missing: the message names isize|100|-|/ disk 1000\n|||$MISSING|
ROWS

e2e_finish
