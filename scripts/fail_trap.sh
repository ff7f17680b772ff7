# Sourced by every script: a failing command names itself, its script and its
# line before `set -e` ends the run, so a stop is never silent.
set -E  # functions and subshells inherit the trap
trap 'brx_status=$?; echo "${BASH_SOURCE[0]##*/}: line $LINENO: \"$BASH_COMMAND\" failed with status $brx_status" >&2' ERR
