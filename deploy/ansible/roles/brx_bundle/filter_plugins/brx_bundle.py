"""Filters of the brx_bundle role: the bundle record a window left in
brxsetup.jsonl, its members' outcomes, and the host's outcome."""
import json

SUCCESS_OUTCOMES = ('current', 'installed', 'installed_restart_needed', 'installed_restarted', 'not_attempted')


def brx_bundle_record(text, bundle):
    """The last bundle record of this bundle (name and version) in the text
    of a brxsetup.jsonl; {} when there is none. Lines that are no JSON
    object, and other kinds of record, are skipped."""
    found = {}
    for line in str(text or '').splitlines():
        try:
            record = json.loads(line)
        except ValueError:
            continue
        if (isinstance(record, dict) and record.get('record') == 'bundle'
                and record.get('bundle_name') == bundle.get('name')
                and record.get('bundle_version') == bundle.get('version')):
            found = record
    return found


def brx_bundle_members(record, bundle):
    """Every member in order with its outcome: from the record, else (no
    window ran) from the plan, as not run."""
    members = (record or {}).get('members')
    if isinstance(members, list) and members:
        return [{'file': m.get('file'), 'version': m.get('version'), 'outcome': m.get('outcome'),
                 'reason': m.get('reason'), 'completion_code': m.get('completion_code')}
                for m in members if isinstance(m, dict)]
    return [{'file': m.get('file'), 'version': m.get('version'), 'outcome': 'not_run', 'reason': None,
             'completion_code': None} for m in (bundle or {}).get('members', [])]


def _flag(value):
    return value is True or str(value).strip().lower() in ('true', 'yes', '1')


def brx_bundle_outcome(state):
    """The host's outcome from the window's runs (see tasks/report.yml)."""
    step = state.get('failed_step') or ''
    if step == 'staging':
        return 'staging_refused'
    if step == 'restart' and _flag(state.get('restart_pending')):
        return 'restart_pending'
    codes = []
    for code in state.get('codes') or []:
        try:
            codes.append(int(code))
        except (TypeError, ValueError):
            codes.append(None)
    if step or not codes or codes[-1] not in (1, 2, 3):
        return 'failed'
    members = ((state.get('record') or {}).get('members')) or []
    left = [m for m in members if isinstance(m, dict) and m.get('outcome') == 'not_run']
    rebooted = _flag(state.get('rebooted'))
    if codes[-1] == 2:
        # Members still wait for a restart: more rounds, or a restart, finish them.
        if left and rebooted:
            return 'incomplete'
        return 'installed_restarted' if rebooted else 'installed_restart_needed'
    if codes == [3] and members and all(m.get('outcome') == 'skipped' for m in members if isinstance(m, dict)):
        return 'current'
    if rebooted:
        return 'installed_restarted'
    return 'installed' if any(c in (1, 2) for c in codes) else 'not_attempted'


def brx_bundle_succeeded(outcome):
    return outcome in SUCCESS_OUTCOMES


class FilterModule:
    def filters(self):
        return {
            'brx_bundle_record': brx_bundle_record,
            'brx_bundle_members': brx_bundle_members,
            'brx_bundle_outcome': brx_bundle_outcome,
            'brx_bundle_succeeded': brx_bundle_succeeded,
        }
