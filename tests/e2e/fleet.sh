#!/bin/bash
# fleet.sh - the Ansible role with the real ansible-playbook on seven hosts at once, in one
# sandbox: each host a root of its own (overlays of the sandbox's trees; every command in a
# PID namespace of its own, through the chroot connection), a first installation, a
# relocation, a host without space, one whose suite programs run, one whose setup crashes,
# one whose print daemon the role's default keeps and one where commands fail, in one
# play; then a second play that leaves the hosts installed alone. ansible-lint checks the role.
set -uo pipefail
. "$(dirname "$0")/lib.sh"

# Host table: NAME|INSTALL_DIR|CONTINUE|DIST (sample; nosums: the sample without
# SHA256SUMS; crash: a setup that ends at once without a result)|PREPARATION in the host's root (prev: an installation in /usr; df, ps: the
# fake tool of that name in /usr/sbin; chmod: one that fails on qmf)|play 1's recap|the start of its failure message|
# the outcome and product directory in its fact
HOSTS='A||false|sample||changed=3 failed=0|-|installed /usr/Kandu/tvnn
B|/opt|true|nosums|prev|changed=3 failed=0|-|relocated /opt/Kandu/tvnn
C||false|sample|df|changed=0 failed=1|setup no-space (status 3): not enough space in|
D||false|sample|prev ps|changed=0 failed=1|setup busy (status 4): quit while suite programs run|
E||false|crash||changed=0 failed=1|setup ended with status 134 and wrote no result: setup: aborted|
F||false|sample|prev|changed=0 failed=1|setup declined (status 5): |
G||true|sample|chmod|changed=1 failed=0|-|'
FLEET=/fleet   # the hosts' roots inside the sandbox, and their layers in $FLEET/.layers
# The places of an installation and of the role's fact, listed to compare a host's state
# (not the work area, which a declined run leaves for the next).
PLACES='/usr/Kandu /opt/Kandu /var/spool/Kandu /etc/tavlo /usr/bin/tvadmin /usr/bin/tavlo /etc/ansible'

if [ "${1:-}" != --inside ]; then
  e2e_init_sample "${1:-}"
  "$E2E_ROOT/tools/ensure-packages" ansible >"$E2E_SCRATCH/apt.log" 2>&1 &&
    ansible-doc -t connection community.general.chroot >/dev/null 2>&1 ||
    e2e_skip "the Debian package ansible (ansible-playbook, the chroot connection) cannot be had: $(tail -n 1 "$E2E_SCRATCH/apt.log")"
  lint=run
  "$E2E_ROOT/tools/ensure-packages" ansible-lint >>"$E2E_SCRATCH/apt.log" 2>&1 || lint=$(tail -n 1 "$E2E_SCRATCH/apt.log")
  e2e_spoil_dist nosums "$SAMPLE" 'rm SHA256SUMS' >/dev/null
  e2e_spoil_dist crash "$SAMPLE" 'printf "#!/bin/sh\necho setup: aborted >&2\nexit 134\n" >setup' >/dev/null
  status=0
  "$E2E_SANDBOX" --timeout 600 -- env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin HOME=/root TERM=dumb \
    /bin/bash "$0" --inside "$E2E_BUILD" "$lint" </dev/null || status=$?
  [ $status != 125 ] || echo "FAIL: the sandbox could not start the fleet"
  exit $status
fi

E2E_ROOT=$(cd "$(dirname "$0")/../.." && pwd) E2E_BUILD=$2 E2E_SUITE=fleet
E2E_SCRATCH=$E2E_BUILD/e2e-scratch/fleet OUT=$E2E_BUILD/e2e-scratch/fleet/plays
mkdir -p "$OUT"

# In host H: runs the command in the host's root and a PID namespace of its own (/proc
# shows only its processes, so one host's suite programs are no other's); the chroot
# connection runs every command of a host so.
in_host() { "$FLEET/host-exec" "$FLEET/$1" "${@:2}"; }
# What host H holds of an installation: one line a path (type, mode, size, time).
host_state() { in_host "$1" sh -c "find $PLACES -printf '%p %y %m %s %T@\n' 2>/dev/null | sort"; }
# The value of KEY in host H's fact.
fact() { in_host "$1" python3 -c 'import json, sys; print(json.load(open(sys.argv[1]))[sys.argv[2]])' /etc/ansible/facts.d/tvnn.fact "$2" 2>/dev/null; }

# The root of host H: an overlay of every folder at the top of the sandbox's root, copies
# of its top-level links and files, /dev, and an empty /tmp, /run and /proc.
make_host() {
  local h=$1 e n
  mkdir -p "$FLEET/$h"
  for e in /*; do
    n=${e#/}
    if [ -L "$e" ] || [ ! -d "$e" ]; then cp -a "$e" "$FLEET/$h/"; continue; fi
    mkdir -p "$FLEET/$h/$n"
    case $n in
      proc | sys | run | "${FLEET#/}") ;;
      tmp) chmod 1777 "$FLEET/$h/tmp" ;;
      dev) mount --rbind /dev "$FLEET/$h/dev" ;;
      *) mkdir -p "$FLEET/.layers/$h/$n/up" "$FLEET/.layers/$h/$n/work"
         mount -t overlay "fleet-$h-$n" -o "lowerdir=$e,upperdir=$FLEET/.layers/$h/$n/up,workdir=$FLEET/.layers/$h/$n/work" \
           "$FLEET/$h/$n" ;;
    esac
  done
}

# Preparations of a host: a previous installation made by the installer itself, a df
# that finds 10 blocks free, a ps that shows tvqadmin running, a chmod that fails on qmf.
prepare_host() {
  local h=$1 p
  for p in $2; do
    case $p in
      prev) cp -a "$E2E_SCRATCH/dist/sample" "$FLEET/$h/root/prev" &&
              in_host "$h" sh -c 'cd /root/prev && ./setup </dev/null >/dev/null 2>&1' && rm -rf "$FLEET/$h/root/prev" ;;
      df) printf '#!/bin/sh\necho "Filesystem 1K-blocks Used Available Use%% Mounted on"\necho "fake 1000 990 10 99%% /"\n' \
            >"$FLEET/$h/usr/sbin/df" ;;
      chmod) printf '#!/bin/sh\ncase "$*" in *4755*qmf) exit 1 ;; esac\nexec /usr/bin/chmod "$@"\n' >"$FLEET/$h/usr/sbin/chmod" ;;
      ps) printf '#!/bin/sh\necho "  PID CLS PRI TTY          TIME CMD"\necho "  471 TS   19 ?        00:00:00 tvqadmin"\n' \
            >"$FLEET/$h/usr/sbin/ps" ;;
    esac || return 1
  done
  chmod 755 "$FLEET/$h"/usr/sbin/{df,ps,chmod} 2>/dev/null
  return 0
}

# Runs the example playbook on the fleet as play N (further words: options of
# ansible-playbook); its output in $OUT/play-N, the seconds it took in SECONDS_N, its
# recap as "HOST changed=.. failed=.. unreachable=.." lines in RECAP_N.
play() {
  local t0=$EPOCHREALTIME
  (cd "$E2E_ROOT/ansible" && ANSIBLE_FORKS=7 ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 \
    ansible-playbook -i "$OUT/inventory.ini" "${@:2}" install-tvnn.yml) >"$OUT/play-$1" 2>&1
  printf -v "SECONDS_$1" '%s' "$(awk -v a="$t0" -v b="$EPOCHREALTIME" 'BEGIN { printf "%.1f", b - a }')"
  printf -v "RECAP_$1" '%s' "$(sed -n '/^PLAY RECAP/,$p' "$OUT/play-$1" | awk '$2 == ":" { print $1, $4, $6, $5 }')"
}

# The recap's figures of host H in play N: "changed=X failed=Y unreachable=Z".
recap() { local v=RECAP_$2; awk -v h="$1" '$1 == h { print $2, $3, $4 }' <<<"${!v}"; }

NAMES=$(cut -d'|' -f1 <<<"$HOSTS")
e2e_case "the fleet: seven hosts, each a root of its own"
mkdir -p "$FLEET"
printf '#!/bin/sh\nroot=$1\nshift\nexec unshare --pid --fork --kill-child --mount-proc --propagation unchanged --root="$root" "$@"\n' \
  >"$FLEET/host-exec"
chmod 755 "$FLEET/host-exec"
{
  echo "[print_servers]"
  while IFS='|' read -r h dir cont dist prep _; do
    make_host "$h" && prepare_host "$h" "$prep" || { echo "FAIL: preparing host $h"; exit 1; }
    echo "$h ansible_host=$FLEET/$h tvnn_setup_dist=$E2E_SCRATCH/dist/$dist tvnn_setup_continue=$cont${dir:+ tvnn_setup_install_dir=$dir}"
  done <<<"$HOSTS"
  printf '[print_servers:vars]\nansible_connection=community.general.chroot\nansible_chroot_exe=%s\n%s\n' "$FLEET/host-exec" \
    $'ansible_python_interpreter=/usr/bin/python3\nansible_become=false'
} >"$OUT/inventory.ini"
e2e_assert_eq "the previous installations of B and D" "$(for h in $NAMES; do in_host $h test -d /usr/Kandu/tvnn && echo $h; done)" $'B\nD\nF'

if [ "$3" = run ]; then
  e2e_case "ansible-lint passes on the role and the example playbook"
  (cd "$E2E_ROOT/ansible" && ansible-lint --offline --nocolor . >"$OUT/lint" 2>&1)
  e2e_assert_eq "ansible-lint's status (output in $OUT/lint)" "$?" 0
else
  echo "SKIPPED: ansible-lint: the Debian package ansible-lint cannot be had: $3"
fi

e2e_case "a play in check mode: every host would change, none does"
declare -A BEFORE
for h in $NAMES; do BEFORE[$h]=$(host_state $h); done
play check --check
for h in $NAMES; do
  e2e_assert_eq "$h: the recap; untouched" "$(recap $h check) $(host_state $h)" "changed=1 failed=0 unreachable=0 ${BEFORE[$h]}"
done

e2e_case "play 1: installed, relocated, no space, busy, crashed, declined, commands failed"
play 1
while IFS='|' read -r h _ _ _ _ figures why installed; do
  e2e_assert_eq "$h: the recap" "$(recap "$h" 1)" "$figures unreachable=0"
  if [ "$why" != - ]; then
    e2e_assert_eq "$h: the failure says why" "$(grep "^fatal: \[$h\]: FAILED" "$OUT/play-1" | grep -cF "\"msg\": \"$why")" 1
    e2e_assert_eq "$h: untouched, no fact" "$(host_state $h)" "${BEFORE[$h]}"
  fi
  e2e_assert_eq "$h: the role's temporary folder is gone" "$(in_host "$h" sh -c 'ls -d /tmp/tvnn_setup.* 2>/dev/null')" ""
  [ -z "$installed" ] && continue
  e2e_assert_eq "$h: the installation is whole" \
    "$(in_host "$h" env FAULT_D="${installed#* }" FAULT_W=/tmp/KanduInstall sh -c "$FAULT_CHECK")" ""
  e2e_assert_eq "$h: the fact's outcome and product folder" "$(fact "$h" outcome) $(fact "$h" product_dir)" "$installed"
done <<<"$HOSTS"
e2e_assert_eq "B: /usr/Kandu/tvnn links to the new place" "$(in_host B readlink /usr/Kandu/tvnn)" /opt/Kandu/tvnn
e2e_assert_eq "G: the failed commands told, no fact" \
  "$(grep -c '"msg": "setup installed, but [1-9][0-9]* of its' "$OUT/play-1") $(fact G outcome)" "1 "
# The fact names the distribution: the hash of its SHA256SUMS, else of its files' list.
SUM_A=$(sha256sum <"$E2E_SCRATCH/dist/sample/SHA256SUMS" | cut -d' ' -f1)
SUM_B=$(cd "$E2E_SCRATCH/dist/nosums" && find . -type f -printf '%P\n' | LC_ALL=C sort | while read -r f; do
  printf '%s %s\n' "$f" "$(sha1sum <"$f" | cut -d' ' -f1)"; done | head -c -1 | sha256sum | cut -d' ' -f1)
e2e_assert_eq "the facts' checksums" "$(fact A checksum) $(fact B checksum)" "$SUM_A $SUM_B"

e2e_case "play 2: the hosts installed are left alone; G, without a fact, runs again"
LOGS=$(for h in A B; do in_host $h stat -c '%n %s %Y' /tmp/setup.log; done)
play 2
e2e_assert_eq "the recap" "$(for h in $NAMES; do echo "$h $(recap $h 2)"; done)" \
  "$(printf '%s changed=0 failed=0 unreachable=0\n' A B; printf '%s changed=0 failed=1 unreachable=0\n' C D E F; echo G changed=1 failed=0 unreachable=0)"
e2e_assert_eq "A and B: setup did not run" "$(for h in A B; do in_host $h stat -c '%n %s %Y' /tmp/setup.log; done)" "$LOGS"
echo "7 hosts, forks 7: the check took $SECONDS_check s, play 1 $SECONDS_1 s, play 2 $SECONDS_2 s"
e2e_finish
