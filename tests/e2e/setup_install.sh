#!/bin/bash
# setup_install.sh - whole installations: a first installation into /usr (what the sample's
# package list makes), updates in place and through a link, relocations both ways, media
# in capitals and a host without uncompress.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}" --piece-size 2K
FIRST_OPT='./setup install /opt </dev/null >/dev/null 2>&1'
D=/usr/Kandu/tvnn

# The log holds the texts in this order.
assert_log_order() {
  e2e_check "log in order: $*" awk -v list="$(printf '%s\037' "$@")" \
    'BEGIN { n = split(list, w, "\037") - 1; i = 1 } i <= n && index($0, w[i]) { i++ } END { exit i <= n }' "$E2E_LOG"
}

e2e_case "first installation into /usr"
e2e_run_setup --status 0 --
for row in "$D dir 0755 root root" "$D/tvrtvnntty file 4755 root lp" "$D/qmf file 4755 root root" \
  "/var/spool/Kandu/tvnn/__tva_download__ dir 0777" "$D/log/tavlo.log file 0666" "$D/queues dir 0775 lp lp" \
  "$D/lib/gtk/modules/etc/pango/pangorc file" "/etc/tavlo link - - - $D/etc" "/usr/bin/tvadmin file 0755 root root"; do
  # shellcheck disable=SC2086
  e2e_assert_change created $row
done
e2e_assert_unchanged $D/README.txt $D/tvpp.old /tmp/setup.tmp /tmp/KanduInstall
e2e_assert_file_has "$E2E_STATE$D/tavlo.conf" $'\nspool       /var/spool/Kandu/tvnn\nserver      localhost\n'
e2e_assert_file_has "$E2E_STATE/usr/bin/tvadmin" $'\ncd /usr/Kandu/tvnn\nexec /usr/Kandu/tvnn/tvadmin "$@"'
assert_log_order "SHA256SUMS: verified $(($(ls "$E2E_DIST" | grep -c pkg_tar) + 3)) files" \
  "cp -p $E2E_DIST/pkg_tar.ab /tmp/KanduInstall" 'tar xvfp' 'mkdir -p /usr/Kandu/tvnn' \
  'mkdir -p /var/spool/Kandu/tvnn/__tva_download__' 'chmod  4755 /usr/Kandu/tvnn/qmf' 'rm -rf  /tmp/KanduInstall'
e2e_assert_eq "tvqadmin's starts" "$(e2e_standin tvqadmin 1 arg) $(e2e_standin tvqadmin 2 arg)" "-upgrade -clean"
e2e_assert_eq "stderr, and the continue question" "$(cat "$E2E_STDERR")$(grep -c 'continue with the installation' "$E2E_STDOUT")" 0

e2e_case "update in place: the spool tree and the folders of the list are kept"
e2e_run_setup --status 0 --prepare "$FIRST_USR" --stdin y --
e2e_assert_log_has 'cp -p /tmp/KanduInstall/pkg/qmf /usr/Kandu/tvnn'
e2e_assert_log_lacks 'mkdir -p /var/spool/Kandu' 'mkdir -p /usr/Kandu/tvnn' 'mv -f -f'
e2e_assert_unchanged /var/spool/Kandu /etc/tavlo $D/etc
e2e_assert_change changed $D/.tv_cfg
e2e_assert_eq "tvqadmin's starts" "$(e2e_standin_count tvqadmin)" 2

e2e_case "update through a link to /opt, no directory named: no relocation"
e2e_run_setup --status 0 --prepare "$FIRST_OPT" --stdin y --
e2e_assert_log_lacks 'mv -f -f'
e2e_assert_unchanged $D
e2e_assert_change changed /opt/Kandu/tvnn/.tv_cfg

e2e_case "relocation from /usr to /opt"
e2e_run_setup --status 0 --prepare "$FIRST_USR" --stdin y -- install /opt
assert_log_order 'mkdir -p /opt/Kandu' 'mv -f -f /usr/Kandu/tvnn /opt/Kandu' 'rm -f /usr/Kandu/tvnn' \
  'ln  -s /opt/Kandu/tvnn /usr/Kandu/tvnn' 'cp -p /tmp/KanduInstall/pkg/qmf /opt/Kandu/tvnn'
e2e_assert_change created /opt/Kandu/tvnn dir 0755
e2e_assert_change changed $D link - - - /opt/Kandu/tvnn
e2e_assert_change created /opt/Kandu/tvnn/qmf file 4755
e2e_assert_unchanged /var/spool/Kandu

e2e_case "relocation from /opt back to /usr"
e2e_run_setup --status 0 --prepare "$FIRST_OPT" --stdin y -- install /usr
assert_log_order 'rm -rf  /usr/Kandu/tvnn' 'mv -f -f /opt/Kandu/tvnn /usr/Kandu'
e2e_assert_change changed $D dir 0775
e2e_assert_change removed /opt/Kandu/tvnn
e2e_assert_change created $D/qmf file 4755

e2e_case "an installation directory that reaches the previous tree by another name is no relocation"
e2e_run_setup --status 0 --prepare "$FIRST_OPT" --prepare 'ln -s /opt /var/opt2' --stdin y -- install /var/opt2/
e2e_assert_log_has 'is the previous installation itself: nothing to move'
e2e_assert_log_lacks 'mv -f -f'
e2e_assert_unchanged /opt/Kandu/tvnn
e2e_assert_change changed /opt/Kandu/tvnn/.tv_cfg

e2e_case "a medium in capitals with the list written in lower case"
e2e_make_dist upper --upper --piece-size 2K >/dev/null
e2e_run_setup --status 0 --
e2e_assert_log_has "cp -p $E2E_DIST/DISKS /tmp/KanduInstall"$'\n' "cp -p $E2E_DIST/PKG_TAR.AB /tmp/KanduInstall"$'\n'
e2e_assert_change created $D/qmf file 4755

e2e_case "a host without /usr/bin/uncompress decompresses with gzip"
e2e_run_setup --status 0 --dist "$SAMPLE" --prepare 'rm -f /usr/bin/uncompress' --
e2e_assert_log_has "replaced with /tmp/KanduInstall/LinuxppcTvnn.tar"
e2e_assert_change created $D/qmf file 4755

e2e_finish
