#!/usr/bin/env bash
# The stub's Application event under Wine: Wine's ReportEventW keeps nothing
# but traces the call (handle, type, category, id) and each insertion string
# to the reporting process's debug output, which goes to the standard error
# Wine started with. Runs the e2e case E2eEventTrace.* with that trace on and
# checks it: one failed install reports event 1002 (0x3ea) of type error with
# the run's facts.
# Usage: event_trace.sh WINE_RUN STATE E2E_TEST.exe
set -u
wine_run=$1 state=$2 bin=$3
trace=$(mktemp)
trap 'rm -f "$trace"' EXIT
BRX_WINEDEBUG=fixme+advapi,+eventlog BRX_EVENT_TRACE=1 \
  "$wine_run" "$state" "$bin" --gtest_filter='E2eEventTrace.*' 2>"$trace"
code=$?
status=0
[ $code = 0 ] || { echo "the e2e case failed (exit $code)"; status=1; }
calls=$(grep -c 'ReportEventW (' "$trace")
[ "$calls" = 1 ] || { echo "ReportEventW was called $calls times, not once"; status=1; }
grep -q 'ReportEventW (.*,0x0001,0x0000,0x000003ea,' "$trace" || { echo "no error event 1002"; status=1; }
for fact in 'L"e2erecevt.exe"' 'L"e2epkg.xml"' 'L"silent"' \
            'L"wmi_service=passed virtual_guest=passed tpm=passed disk_space=passed"' 'L"failed"' \
            'L"Completion Code (0x0) -> The Quellin Component failed to install"' 'L"setup_program"'; do
  grep -q "err:eventlog:ReportEventW $fact" "$trace" || { echo "the event lacks $fact"; status=1; }
done
if [ $status != 0 ]; then
  grep -i 'eventlog\|ReportEvent' "$trace"
else
  echo "one error event 1002 with the run's facts: $(grep -c 'err:eventlog:ReportEventW' "$trace") strings"
fi
exit $status
