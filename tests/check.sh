# Sourced by the shell tests: `check DESCRIPTION COMMAND...` runs one check and counts it;
# `check_summary` prints the count in the form CI reads and fails when a check failed.
checks=0 failures=0
check() {
  local what=$1; shift
  checks=$((checks + 1))
  "$@" || { echo "FAIL: $what"; failures=$((failures + 1)); }
}
check_summary() {  # NAME
  echo "$1: $((checks - failures)) passed, $failures failed"
  [ "$failures" -eq 0 ]
}
