#!/bin/bash
# crash_convergence.sh - a run killed with SIGKILL after its k-th logged command, then
# run again without the fault, must leave what an uninterrupted run leaves: the same
# product tree (contents, modes, owners, links, flags file, queue scripts), spool tree,
# launchers and /usr/Kandu/tvnn link, and no work area. For a first installation and
# for an update that moves the previous installation to /opt.
set -uo pipefail
shopt -s extglob
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"
# Every STEP-th kill point is tried, and every one of the first RELOCATION of an update
# (the relocation's removal, move and link); CI's time budget sets the step.
STEP=${CRASH_STEP:-8}
RELOCATION=6

# The logged commands, each wrapped: the wrapper counts its start and, at the start
# named in /tmp/kill-at, kills setup before the command runs (so that the k-th logged
# command was the last one done).
WRAP=$(e2e_fake_tool crash-wrapper 'n=${0##*/}
c=$(($(cat /tmp/kill-count 2>/dev/null || echo 0) + 1)); echo $c >/tmp/kill-count
[ "$c" = "$(cat /tmp/kill-at 2>/dev/null)" ] && { echo "$n $*" >/tmp/kill-cmd; kill -KILL "$(cat /tmp/setup.pid)"; exit 137; }
for d in /usr/bin /bin; do [ -x "$d/$n" ] && exec "$d/$n" "$@"; done
exit 127')
TOOLS=()
for name in chgrp chmod chown cp ln mkdir mv rm sed tar touch; do TOOLS+=(--tool "$WRAP" "$name"); done

# What an installation leaves, one line a path: type, mode, owner, group, link text and
# the content's digest.
cat >"$E2E_SCRATCH/snap.sh" <<'SNAP'
for p in /usr/Kandu /opt/Kandu /var/spool/Kandu /usr/bin/tvadmin /usr/bin/tavlo /etc/tavlo /usr/share/doc/KanduTavlo; do
  [ -e "$p" ] || [ -L "$p" ] || continue
  find "$p" -printf '%p %y %m %u %g %l ' -exec sh -c '[ -f "$1" ] && [ ! -L "$1" ] && md5sum <"$1" | cut -c1-32 || echo' _ {} \;
done | sort
[ -e /tmp/KanduInstall ] && echo "work area left"
true
SNAP

# SCENARIO K: one session: the preparation, setup killed at K (0: never), a second run
# without the fault (for K above 0), the snapshot. Sets RESULT (the snapshot) and
# COUNT (the commands the first run started).
session() {
  local prep=$1 args=$2 k=$3
  e2e_run_setup --name "$4" ${prep:+--prepare "$prep"} "${TOOLS[@]}" --copy "$E2E_SCRATCH/snap.sh" /tmp/snap.sh \
    --invoke /bin/sh -- -c "rm -f /tmp/kill-count; echo $k >/tmp/kill-at; echo y >/tmp/yes
./setup $args </tmp/yes >/tmp/first.out 2>&1 & echo \$! >/tmp/setup.pid
wait \$!; echo \"first \$?\"; cat /tmp/kill-count
if [ $k != 0 ]; then echo 0 >/tmp/kill-at; ./setup $args </tmp/yes >/tmp/second.out 2>&1; echo \"second \$?\"; fi
sh /tmp/snap.sh >/tmp/snap"
  RESULT=$(cat "$E2E_STATE/tmp/snap" 2>/dev/null)
  COUNT=$(sed -n 2p "$E2E_STDOUT")
}

# NAME PREPARATION ARGUMENTS: the reference run, then the kill points.
scenario() {
  local k points=() tried=0 converged=0 documented=0 cmd
  e2e_case "$1: killed after each kill point, then run again"
  session "$2" "$3" 0 "$1-reference"
  local reference=$RESULT total=$COUNT
  e2e_assert_eq "the reference run" "$(head -n 1 "$E2E_STDOUT") $([ -n "$reference" ] && echo has-state)" "first 0 has-state"
  for ((k = 1; k <= total; k++)); do
    if ((k % STEP == 1)) || { [ -n "$2" ] && ((k <= RELOCATION)); }; then points+=("$k"); fi
  done
  for k in "${points[@]}"; do
    session "$2" "$3" "$k" "$1-k$k"
    tried=$((tried + 1))
    cmd=$(cat "$E2E_STATE/tmp/kill-cmd" 2>/dev/null)
    if [ "$(head -n 1 "$E2E_STDOUT")" != "first 137" ] || ! grep -qx "second 0" "$E2E_STDOUT"; then
      e2e_fail "kill point $k of $total ($cmd): $(tr '\n' ' ' <"$E2E_STDOUT")"
    elif [ "$RESULT" = "$reference" ]; then
      converged=$((converged + 1))
    elif [[ "$cmd" == @("rm -f /usr/Kandu/tvnn"|"ln -s /opt/Kandu/tvnn /usr/Kandu/tvnn") ]] &&
      [ "$RESULT" = "${reference/"/opt/Kandu/tvnn d 755 "/"/opt/Kandu/tvnn d 775 "}" ]; then
      # The known window: the tree was moved, the link not yet made; the second run
      # finds no previous installation and installs into /opt as a first one would.
      documented=$((documented + 1))
    else
      e2e_fail "kill point $k of $total ($cmd): $(diff <(echo "$reference") <(echo "$RESULT") | head -n 6 | tr '\n' ' ')"
    fi
  done
  e2e_pass "$1: $tried kill points (of $total commands): $converged converged, $documented in the documented window"
}

scenario "first installation into /usr" "" ""
scenario "update that moves the installation to /opt" "$FIRST_USR" "install /opt"

e2e_finish
