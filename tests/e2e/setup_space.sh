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
HEAD56="There isn't enough space to perform the installation activities. As you are using a working directory, "
TAIL56=" bytes free. Please re-run the install specifing a different location for a working directory or install directory. Please see the readme if you need help with the syntax."

# space NAME ISIZE TSIZE DF DU ARGS OUTPUT [DF_CALLS]: a run with size records ISIZE and
# TSIZE ("-": none; "dir": a folder), the fakes' tables and the arguments; its standard
# output is OUTPUT (or holds it when OUTPUT ends in "..."), df was asked for
# DF_CALLS when given. Old trees (/tmp/KanduInstall, /usr/Kandu/tvnn) exist when DU
# names them.
space() {
  local dist=$E2E_SCRATCH/sizes f
  e2e_case "$1"
  rm -rf "$dist"
  cp -a "$SAMPLE" "$dist"
  for f in isize:$2 tsize:$3; do
    rm -f "$dist/${f%:*}"
    case ${f#*:} in -) ;; dir) mkdir "$dist/${f%:*}" ;; *) echo "${f#*:}" >"$dist/${f%:*}" ;; esac
  done
  # shellcheck disable=SC2086
  e2e_run_setup --dist "$dist" --tool "$DF" --tool "$DU" --tool "$WHOAMI" \
    --prepare "printf '$4' >/etc/fake-df; printf '$5' >/etc/fake-du; for p in \$(cut -d' ' -f1 /etc/fake-du); do mkdir -p \$p; done" -- $6
  e2e_assert_status 0
  if [[ "$7" == *... ]]; then e2e_assert_said "${7%...}"; else e2e_assert_eq "the output" "$(cat "$E2E_STDOUT")" "$7"; fi
  [ -z "${8+set}" ] || e2e_assert_eq "df's calls" "$(cat "$E2E_STATE/tmp/df.calls" 2>/dev/null)" "$8"
}

space "separate file systems: the needs of 90 and 140 are met" 100 50 '/tmp tmpfs 95\n/ rootfs 150\n' '' '' \
  "$PASSED..." $'/tmp\n/usr\n/usr'
space "one file system with 200 free: too little for both, 230" 100 50 '/ disk 200\n' '' '' \
  "$HEAD56/tmp/KanduInstall on the same partition as the install directory you have selected, /usr this install requires 2.300000e+02$TAIL56"
space "one file system: the old work area (30) and product tree (40) count as free" 50 40 '/ disk 100\n' \
  '/tmp/KanduInstall 30\n/usr/Kandu/tvnn 40\n' '' "$PASSED..."
e2e_assert_eq "du's calls" "$(cat "$E2E_STATE/tmp/du.calls")" $'/tmp/KanduInstall\n/usr/Kandu/tvnn'
space "one file system: one block more than the old trees free" 51 40 '/ disk 100\n' \
  '/tmp/KanduInstall 30\n/usr/Kandu/tvnn 40\n' '' "$HEAD56/tmp/KanduInstall on the same partition as the install directory you have selected, /usr this install requires 1.710000e+02..."
space "separate file systems, too little on both: only the work area's message" 100 50 '/tmp tmpfs 30\n/ rootfs 30\n' '' '' \
  "There isn't enough space in /tmp/KanduInstall to perform the installation activities. The temporary work area should be at least 9.000000e+01 bytes. Restart the installation procedure using a work area that has enough space. 
ie: 1. Use /new_work_area_path in place of /tmp
    2. Run \`setup /new_work_area_path\`"
space "separate file systems, too little for the product" 100 50 '/tmp tmpfs 95\n/ rootfs 139\n' '' '' \
  "There isn't enough space in /usr to perform the installation activities. The install area should be at least 1.400000e+02 bytes. Restart the installation procedure using an install area that has enough space. 
ie: 1. Use /new_install_path in place of the default location
    2. Run 'setup install /new_install_path'"
NEW='/tmp tmpfs 1000\n/ rootfs 1000\n/opt optfs'
space "a new installation directory is probed at its nearest existing parent: 17 is a full partition" 10 10 \
  "$NEW 17\n" '' 'install /opt/new/dir' \
  "$HEAD56/opt on the same partition as the install directory you have selected, /opt/new/dir this install requires 1.000000e+02$TAIL56" \
  $'/tmp\n/opt\n/opt'
space "a new installation directory: 18 is too little for the need of 50" 10 10 "$NEW 18\n" '' 'install /opt/new/dir' \
  "There isn't enough space in /opt/new/dir to perform the installation activities. The install area should be at least 5.000000e+01 bytes...."
space "a new installation directory: 50 suffices" 10 10 "$NEW 50\n" '' 'install /opt/new/dir' "$PASSED..."
space "a df without an available figure for the work area skips the check" 99999 99999 '/tmp tmpfs -\n/ rootfs 10\n' \
  '' '' "$PASSED..."
space "a size record without a number counts as 0" dir 10 '/ disk 1000\n' '' '' "$PASSED..."
space "isize missing: nothing is measured" - 50 '/ disk 1000\n' '' '' \
  "Could not determine how much space needed for install, missing isize." ""
space "tsize missing: the message names isize" 100 - '/ disk 1000\n' '' '' \
  "Could not determine how much space needed for install, missing isize." ""

e2e_finish
