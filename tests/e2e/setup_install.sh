#!/bin/bash
# setup_install.sh - whole installations in the sandbox: first installations into /usr
# and /opt, updates in place and through a link, relocations, a dangling product link.
#   tests/e2e/setup_install.sh BUILD_DIR
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"

# A previous installation made by the installer itself before the run.
FIRST_OPT='./setup install /opt </dev/null >/dev/null 2>&1'
D=/usr/Kandu/tvnn

# The log holds the lines in this order (each a fixed text).
assert_log_order() {
  local pos=0 line n
  for line in "$@"; do
    n=$(grep -nF -- "$line" "$E2E_LOG" | head -n 1 | cut -d: -f1)
    if [ -z "$n" ] || [ "$n" -le "$pos" ]; then
      e2e_fail "log line '$line' missing or out of order"
      return
    fi
    pos=$n
  done
  e2e_pass "log lines in order: $*"
}


# ---------------------------------------------------------------------------------
e2e_case "first installation into /usr"
e2e_run_setup --
e2e_assert_status 0
e2e_assert_created "$D dir 0755 root root" "/usr/Kandu dir 0755" "$D/tvrtvnntty file 4755 root lp" \
  "$D/qmf file 4755 root root" "$D/.tv_cfg file 0644" "$D/KanduPrinttvnn file 0755" \
  "$D/v4DriverScript file 0755" "$D/KanduQMF file 0755" "/usr/bin/tvadmin file 0755" \
  "/var/spool/Kandu dir 0775" "/var/spool/Kandu/tvnn/__tva_download__ dir 0777"
e2e_assert_unchanged /tmp/KanduInstall
assert_log_order 'cp -p '"$E2E_DIST"'/disks /tmp/KanduInstall' \
  'tar xvfp /tmp/KanduInstall/LinuxppcTvnn.tar' \
  'rm -rf /tmp/KanduInstall/LinuxppcTvnn.tar' \
  'mkdir -p /usr/Kandu/tvnn' 'chmod  755 /usr/Kandu/tvnn' \
  'mkdir -p /var/spool/Kandu' 'chmod  775 /var/spool/Kandu' \
  'mkdir -p /var/spool/Kandu/tvnn/__tva_download__' 'chmod  777 /var/spool/Kandu/tvnn/__tva_download__' \
  'cp -p /tmp/KanduInstall/pkg/tvrtvnntty /usr/Kandu/tvnn' \
  'chmod  4755 /usr/Kandu/tvnn/tvrtvnntty' 'chmod  4755 /usr/Kandu/tvnn/qmf' \
  'rm -rf  /tmp/KanduInstall'
e2e_assert_log_lacks 'ln  -s /usr/Kandu/tvnn /usr/Kandu/tvnn'
[ "$(e2e_standin_args tvqadmin 1)" = -upgrade ] && [ "$(e2e_standin_args tvqadmin 2)" = -clean ] &&
  e2e_pass "tvqadmin -upgrade, then -clean" || e2e_fail "tvqadmin calls: $(cat "$E2E_STANDINS")"
e2e_assert_stdout_has $'tvqadmin: print queues upgraded\n.tvqadmin: print queues cleaned\n.'
e2e_assert_stderr_is ""

e2e_case "first installation into /opt without /usr/Kandu"
e2e_run_setup -- install /opt
e2e_assert_status 0
e2e_assert_created "/opt/Kandu/tvnn dir 0775" "/usr/Kandu dir 0775" "/usr/Kandu/tvnn link - - - /opt/Kandu/tvnn" \
  "/opt/Kandu/tvnn/qmf file 4755" "/var/spool/Kandu dir 0775"
e2e_assert_log_has 'ln  -s /opt/Kandu/tvnn /usr/Kandu/tvnn'

e2e_case "setup install /opt/Kandu/tvnn installs into /opt"
e2e_run_setup -- install /opt/Kandu/tvnn
e2e_assert_status 0
e2e_assert_change created /usr/Kandu/tvnn link - - - /opt/Kandu/tvnn

# ---------------------------------------------------------------------------------
e2e_case "update in place"
e2e_run_setup --prepare "$FIRST_USR" --stdin y --
e2e_assert_status 0
e2e_assert_log_has 'cp -p /tmp/KanduInstall/pkg/qmf /usr/Kandu/tvnn'
e2e_assert_log_lacks 'mkdir -p /var/spool/Kandu' 'mkdir -p /usr/Kandu/tvnn' 'mv -f -f'
e2e_assert_unchanged /var/spool/Kandu
e2e_assert_change changed /usr/Kandu/tvnn/.tv_cfg
[ "$(e2e_standin_count tvqadmin)" = 2 ] && e2e_pass "tvqadmin twice" || e2e_fail "tvqadmin count"

e2e_case "update through a link to /opt, no directory named: no relocation"
e2e_run_setup --prepare "$FIRST_OPT" --stdin y --
e2e_assert_status 0
e2e_assert_log_has 'cp -p /tmp/KanduInstall/pkg/qmf /opt/Kandu/tvnn'
e2e_assert_log_lacks 'mv -f -f'
e2e_assert_unchanged /usr/Kandu/tvnn
assert_log_order 'chmod  4755 /opt/Kandu/tvnn/tvrtvnntty' 'rm -rf  /tmp/KanduInstall'

e2e_case "relocation from /usr to /opt"
e2e_run_setup --prepare "$FIRST_USR" --stdin y -- install /opt
e2e_assert_status 0
assert_log_order 'rm -rf  /opt/Kandu/tvnn' 'mkdir -p /opt/Kandu' 'chmod  755 /opt/Kandu' \
  'mv -f -f /usr/Kandu/tvnn /opt/Kandu' 'rm -f /usr/Kandu/tvnn' \
  'ln  -s /opt/Kandu/tvnn /usr/Kandu/tvnn' 'cp -p /tmp/KanduInstall/pkg/qmf /opt/Kandu/tvnn'
e2e_assert_change created /opt/Kandu/tvnn dir 0755
e2e_assert_change changed /usr/Kandu/tvnn link - - - /opt/Kandu/tvnn
e2e_assert_change created /opt/Kandu/tvnn/qmf file 4755
e2e_assert_log_lacks 'mkdir -p /var/spool/Kandu'

e2e_case "relocation from /opt back to /usr"
e2e_run_setup --prepare "$FIRST_OPT" --stdin y -- install /usr
e2e_assert_status 0
assert_log_order 'rm -rf  /usr/Kandu/tvnn' 'mv -f -f /opt/Kandu/tvnn /usr/Kandu'
e2e_assert_log_lacks 'ln  -s /usr/Kandu/tvnn /usr/Kandu/tvnn'
e2e_assert_change changed /usr/Kandu/tvnn dir 0775
e2e_assert_change removed /opt/Kandu/tvnn
e2e_assert_change created /usr/Kandu/tvnn/qmf file 4755

e2e_case "an installation directory that reaches the previous tree by another name is no relocation"
e2e_run_setup --prepare "$FIRST_OPT" --prepare 'ln -s /opt /var/opt2' --stdin y -- install /var/opt2/
e2e_assert_status 0
e2e_assert_log_lacks 'rm -rf  /var/opt2/Kandu/tvnn' 'mv -f -f'
e2e_assert_log_has 'is the previous installation itself: nothing to move'
e2e_assert_unchanged /opt/Kandu/tvnn
e2e_assert_change changed /opt/Kandu/tvnn/.tv_cfg

e2e_case "a dangling product link is removed and the run is a first installation"
e2e_run_setup --prepare 'mkdir -p /usr/Kandu && ln -s /opt/gone/Kandu/tvnn /usr/Kandu/tvnn' --
e2e_assert_status 0
assert_log_order 'rm -f /usr/Kandu/tvnn' 'mkdir -p /usr/Kandu/tvnn' 'mkdir -p /var/spool/Kandu'
e2e_assert_change changed /usr/Kandu/tvnn dir 0755

e2e_case "the package list's running-programs check: quitting skips the final modes"
e2e_run_setup --prepare 'cp /bin/sleep /opt/TavloD && (/opt/TavloD 60 &)' --stdin 2 --
e2e_assert_status 0
e2e_assert_stdout_has $'TavloD ( '
e2e_assert_stdout_has 'Enter a selection:  '
e2e_assert_log_lacks 'chmod  4755'
e2e_assert_unchanged /usr/Kandu/tvnn/qmf
e2e_assert_log_has 'rm -rf  /tmp/KanduInstall'
[ "$(e2e_standin_count tvqadmin)" = 0 ] && e2e_pass "no tvqadmin in the product yet" ||
  e2e_fail "tvqadmin ran"

e2e_finish
