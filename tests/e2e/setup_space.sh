#!/bin/bash
# setup_space.sh - the free-space check against fake df and du in the sandbox's
# /usr/sbin: separate and shared file systems, reclaimable old trees, the full
# partition, missing size records and a df without a figure.
#   tests/e2e/setup_space.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

# df: the longest prefix of its argument in /etc/fake-df ("PREFIX DEVICE AVAIL", AVAIL
# "-" for a heading without an available column) gives the device and its figure; the
# mount column names the device, so two prefixes of one device print the same line.
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
# Not root: the run stops at the readiness check, right after the space check passed.
WHOAMI=$(e2e_fake_tool whoami 'echo operator')
PASSED="operator is logged in"

MSG56_HEAD="There isn't enough space to perform the installation activities. As you are using a working directory, "
MSG56_TAIL=" bytes free. Please re-run the install specifing a different location for a working directory or install directory. Please see the readme if you need help with the syntax."

# A distribution with the given isize and tsize ("-" leaves the file out).
dist_with_sizes() {
  local dir=$E2E_SCRATCH/sizes-$1-$2
  rm -rf "$dir"
  cp -a "$SAMPLE" "$dir"
  rm -f "$dir/isize" "$dir/tsize"
  [ "$1" = - ] || echo "$1" >"$dir/isize"
  [ "$2" = - ] || echo "$2" >"$dir/tsize"
  echo "$dir"
}

# run_space ISIZE TSIZE DF_TABLE DU_TABLE [PREPARE] -- ARGS: a run with the fakes.
run_space() {
  local isize=$1 tsize=$2 df=$3 du=$4 prep="true"
  shift 4
  if [ "$1" != -- ]; then
    prep=$1
    shift
  fi
  shift
  e2e_run_setup --dist "$(dist_with_sizes "$isize" "$tsize")" --tool "$DF" --tool "$DU" \
    --tool "$WHOAMI" --prepare "printf '$df' >/etc/fake-df; printf '$du' >/etc/fake-du; $prep" -- "$@"
}

# ---------------------------------------------------------------------------------
e2e_case "separate file systems with 95 and 150 available: needs 90 and 140 are met"
run_space 100 50 '/tmp tmpfs 95\n/ rootfs 150\n' '' --
e2e_assert_status 0
e2e_assert_stdout_has "$PASSED"
e2e_assert_file_is "$E2E_STATE/tmp/df.calls" $'/tmp\n/usr\n/usr\n'

e2e_case "one file system with 200 available: message 56 with the sum 230"
run_space 100 50 '/ disk 200\n' '' --
e2e_assert_status 0
e2e_assert_stdout_is "${MSG56_HEAD}/tmp/KanduInstall on the same partition as the install directory you have selected, /usr this install requires 2.300000e+02${MSG56_TAIL}"
e2e_assert_unchanged /tmp/KanduInstall

e2e_case "one file system: an old work area (30) and product tree (40) count as free"
OLD='mkdir -p /tmp/KanduInstall /usr/Kandu/tvnn'
run_space 50 40 '/ disk 100\n' '/tmp/KanduInstall 30\n/usr/Kandu/tvnn 40\n' "$OLD" --
e2e_assert_status 0
e2e_assert_stdout_has "$PASSED"
e2e_assert_file_is "$E2E_STATE/tmp/du.calls" $'/tmp/KanduInstall\n/usr/Kandu/tvnn\n'
run_space 51 40 '/ disk 100\n' '/tmp/KanduInstall 30\n/usr/Kandu/tvnn 40\n' "$OLD" --
e2e_assert_status 0
e2e_assert_stdout_has "/usr this install requires 1.710000e+02"
e2e_assert_stdout_lacks "$PASSED"

e2e_case "separate file systems, too little on both: only the work area's message 49"
run_space 100 50 '/tmp tmpfs 30\n/ rootfs 30\n' '' --
e2e_assert_status 0
e2e_assert_stdout_is "There isn't enough space in /tmp/KanduInstall to perform the installation activities. The temporary work area should be at least 9.000000e+01 bytes. Restart the installation procedure using a work area that has enough space. 
ie: 1. Use /new_work_area_path in place of /tmp
    2. Run \`setup /new_work_area_path\`
"

e2e_case "separate file systems, too little for the product: message 55"
run_space 100 50 '/tmp tmpfs 95\n/ rootfs 139\n' '' --
e2e_assert_status 0
e2e_assert_stdout_is "There isn't enough space in /usr to perform the installation activities. The install area should be at least 1.400000e+02 bytes. Restart the installation procedure using an install area that has enough space. 
ie: 1. Use /new_install_path in place of the default location
    2. Run 'setup install /new_install_path'
"

e2e_case "a new installation directory is probed at its nearest existing parent"
run_space 10 10 '/tmp tmpfs 1000\n/ rootfs 1000\n/opt optfs 17\n' '' -- install /opt/new/dir
e2e_assert_status 0
e2e_assert_stdout_is "${MSG56_HEAD}/opt on the same partition as the install directory you have selected, /opt/new/dir this install requires 1.000000e+02${MSG56_TAIL}"
e2e_assert_file_is "$E2E_STATE/tmp/df.calls" $'/tmp\n/opt\n/opt\n'
# 18 is no full partition, but too little for the need of 50.
run_space 10 10 '/tmp tmpfs 1000\n/ rootfs 1000\n/opt optfs 18\n' '' -- install /opt/new/dir
e2e_assert_status 0
e2e_assert_stdout_has "There isn't enough space in /opt/new/dir to perform the installation activities. The install area should be at least 5.000000e+01 bytes."
run_space 10 10 '/tmp tmpfs 1000\n/ rootfs 1000\n/opt optfs 50\n' '' -- install /opt/new/dir
e2e_assert_status 0
e2e_assert_stdout_has "$PASSED"

e2e_case "a df without an available figure for the work area skips the check"
run_space 99999 99999 '/tmp tmpfs -\n/ rootfs 10\n' '' --
e2e_assert_status 0
e2e_assert_stdout_has "$PASSED"

e2e_case "a missing size record"
for sizes in "100 -" "- 50"; do
  run_space $sizes '/ disk 1000\n' '' --
  e2e_assert_status 0
  e2e_assert_stdout_is $'Could not determine how much space needed for install, missing isize.\n'
  [ ! -e "$E2E_STATE/tmp/df.calls" ] && e2e_pass "nothing measured" || e2e_fail "df ran"
done

e2e_finish
