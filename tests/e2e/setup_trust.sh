#!/bin/bash
# setup_trust.sh - what keeps other users out of an installation: a signature by a key
# the host trusts, a work area that was planted, a work-area base that others may
# change, and a second run while one runs.
set -uo pipefail
. "$(dirname "$0")/lib.sh"
e2e_init_sample "${1:-}"
# An rm that leaves the work area alone, as if its planter made it again at once.
KEEP_RM=$(e2e_fake_tool rm-keeps-work-area 'case "$*" in *KanduInstall*) exit 0 ;; esac; exec /bin/rm "$@"')

e2e_case "with a trusted keyring, only a good signature by its key installs"
export GNUPGHOME=$E2E_SCRATCH/gnupg
mkdir -m 700 "$GNUPGHOME"
for who in release other; do
  gpg --batch --quiet --passphrase '' --quick-generate-key "$who <$who@example.org>" ed25519 sign never 2>/dev/null &&
    e2e_make_dist "$who" --sign "$who@example.org" >/dev/null || { echo "FAIL: a key or a signed distribution"; exit 1; }
done
gpg --batch --export release@example.org >"$E2E_SCRATCH/trusted.gpg"
gpgconf --kill gpg-agent  # the keys' agent is not left running
TRUST=(--prepare 'mkdir -p /etc/Kandu' --copy "$E2E_SCRATCH/trusted.gpg" /etc/Kandu/tvnn-trusted.gpg)
SIGNED=$E2E_SCRATCH/dist/release
e2e_run_setup --status 0 --dist "$SIGNED" "${TRUST[@]}" --
e2e_assert_log_has "SHA256SUMS: good signature by a key of /etc/Kandu/tvnn-trusted.gpg" "gpgv"
for row in "$E2E_DIST#:#SHA256SUMS.sig: bad signature" \
  "$SIGNED#echo >>SHA256SUMS#SHA256SUMS.sig: bad signature" \
  "$SIGNED#rm SHA256SUMS.sig#SHA256SUMS.sig: signature missing" \
  "$SAMPLE#:#SHA256SUMS.sig: signature missing" "$SAMPLE#rm SHA256SUMS#SHA256SUMS: missing"; do
  IFS='#' read -r dist spoil said <<<"$row"
  # (a work-area base that the run made is removed again)
  e2e_run_setup --status 1 --dist "$(e2e_spoil_dist spoilt "$dist" "$spoil")" "${TRUST[@]}" -- /var/tmp/new/base
  e2e_assert_said "ERROR: the distribution is damaged: $said"
  e2e_assert_nothing_changed
done

e2e_case "a piece changed on the medium after its verification is found in its copy"
e2e_run_setup --status 1 --tool "$(e2e_fake_tool cp-then-change '/usr/bin/cp "$@" || exit
case "$*" in *pkg_tar.aa*) echo x >>/tmp/KanduInstall/pkg_tar.aa ;; esac')" cp --
e2e_assert_said "ERROR: the distribution is damaged: pkg_tar.aa: checksum mismatch of its copy in /tmp/KanduInstall"
e2e_assert_nothing_changed

e2e_case "a planted work area that outlives the removal is refused before any copy"
for plant in 'mkdir /tmp/KanduInstall && echo mine >/tmp/KanduInstall/note && chown -R 1000:1000 /tmp/KanduInstall' \
  'ln -s /etc /tmp/KanduInstall'; do
  e2e_run_setup --status 1 --prepare "$plant" --tool "$KEEP_RM" rm --
  e2e_assert_said "ERROR: the work area /tmp/KanduInstall is not safe: it still exists after its removal; choose another"
  e2e_assert_log_lacks "cp -p"
  e2e_assert_nothing_changed
done

e2e_case "a planted link to /etc is removed; the work area is made afresh, root's, mode 0700"
e2e_run_setup --status 0 --prepare 'ln -s /etc /tmp/KanduInstall' --
e2e_assert_log_has "made the work area /tmp/KanduInstall (mode 0700)"
e2e_assert_eq "nothing copied into /etc" "$(awk -F'\t' '$2 ~ /^\/etc\// && $2 !~ /^\/etc\/tavlo/' "$E2E_REPORT")" ""

e2e_case "a work-area base that other users may change is refused before any change"
for row in "/var/tmp/open#mkdir -m 777 /var/tmp/open && chmod 777 /var/tmp/open#/var/tmp/open is writable by other users and has no sticky bit" \
  "/var/tmp/open/sub#mkdir -m 777 /var/tmp/open && chmod 777 /var/tmp/open#/var/tmp/open is writable by other users and has no sticky bit" \
  "/var/tmp/alice#mkdir /var/tmp/alice && chown 1000 /var/tmp/alice#/var/tmp/alice is owned by another user (uid 1000)" \
  "/var/tmp/via#mkdir /var/tmp/alice && chown 1000 /var/tmp/alice && ln -s /var/tmp/alice /var/tmp/via#/var/tmp/alice is owned by another user (uid 1000)"; do
  IFS='#' read -r base prep said <<<"$row"
  e2e_run_setup --status 2 --prepare "$prep" -- "$base"
  e2e_assert_said "ERROR: unsafe work-area base '$base': $said"
  e2e_assert_nothing_changed
done
e2e_run_setup --status 0 --prepare 'mkdir -m 1777 /var/tmp/shared && chmod 1777 /var/tmp/shared' -- /var/tmp/shared
e2e_assert_log_has "made the work area /var/tmp/shared/KanduInstall (mode 0700)"

e2e_case "a second run while the first waits at its question ends at once, naming the first"
e2e_run_setup --status 0 --prepare "$FIRST_USR" --invoke /bin/sh -- -c 'mkfifo /tmp/answer
./setup </tmp/answer >/tmp/first.out 2>&1 & p=$!
exec 3>/tmp/answer
i=0; until grep -q "continue with the installation" /tmp/first.out || [ $i = 300 ]; do i=$((i + 1)); sleep 0.1; done
./setup </dev/null >/tmp/second.out 2>&1; echo "second $?"
echo y >&3; exec 3>&-
wait $p; echo "first $? $p"'
read -r _ first pid <<<"$(grep first "$E2E_STDOUT")"
e2e_assert_eq "statuses" "$(grep second "$E2E_STDOUT") first $first" "second 0 first 0"
e2e_assert_file_has "$E2E_STATE/tmp/second.out" "(process id $pid) is installing"
e2e_assert_file_lacks "$E2E_STATE/tmp/second.out" "continue with the installation"

e2e_finish
