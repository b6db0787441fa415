#!/bin/bash
# manpages.sh - every manual page under man/ passes mandoc's lint without a warning
# (mandoc comes with tools/run-tests).
#   tests/e2e/manpages.sh BUILD_DIR
set -uo pipefail

. "$(dirname "$0")/lib.sh"
e2e_init --no-sandbox "$@"
command -v mandoc >/dev/null || { echo "FAIL: mandoc is missing: tools/ensure-packages mandoc"; exit 1; }
pages=("$E2E_ROOT"/man/*.[1-9])
[ -e "${pages[0]}" ] || { echo "FAIL: no manual pages under $E2E_ROOT/man"; exit 1; }
for page in "${pages[@]}"; do
  e2e_case "mandoc -T lint $(basename "$page")"
  e2e_assert_eq "warnings" "$(mandoc -T lint -W warning "$page" 2>&1)" ""
done
e2e_finish
