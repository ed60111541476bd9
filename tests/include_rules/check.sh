#!/usr/bin/env bash
# The include check must refuse the fixture's forbidden includes, each named
# with its line, and pass the allowed ones.
set -u
here=$(cd "$(dirname "$0")" && pwd)
out=$("$here/../../scripts/check-includes" "$here" 2>/dev/null)
rc=$?
if [ "$rc" -ne 1 ]; then
  echo "expected exit status 1, got $rc"
  exit 1
fi
diff <(printf '%s\n' "$out") "$here/expected.txt"
