"""The brx_package role's decisions, made on the controller.

Detection trusts only what an ordinary user of a host cannot write: the
inventory record under HKLM and the definition copy the stub keeps in its
protected \\BRXSYSTEM\\ztxml folder. brxpack deploy-config writes the same
rules into the PowerShell detection script of the other deployment tools.
"""
import base64
import json
import re
from xml.etree import ElementTree

from ansible.utils.unsafe_proxy import wrap_var

_NUMBER = re.compile(r'[0-9]{1,18}')
_ASCII_UPPER = {c: c - 32 for c in range(ord('a'), ord('z') + 1)}

# Outcomes after which the host holds the package's version or a later one.
SUCCESS_OUTCOMES = ('current', 'installed', 'installed_restarted', 'installed_restart_needed')


def brx_version_compare(left, right):
    """Dot-separated parts: numbers as numbers, other parts as text ignoring
    the case of ASCII letters, a missing part as "0". -1, 0 or 1."""
    a, b = str(left).split('.'), str(right).split('.')
    for i in range(max(len(a), len(b))):
        x = a[i] if i < len(a) else '0'
        y = b[i] if i < len(b) else '0'
        if _NUMBER.fullmatch(x) and _NUMBER.fullmatch(y):
            x, y = int(x), int(y)
        else:
            x, y = x.translate(_ASCII_UPPER), y.translate(_ASCII_UPPER)
        if x != y:
            return -1 if x < y else 1
    return 0


def brx_definition_version(content):
    """<version value> of a definition copy (base64, as slurp returns it);
    empty when it is no definition the stub would read."""
    try:
        data = base64.b64decode(content or '')
        # The stub refuses documents that declare entities; so does this.
        if b'<!DOCTYPE' in data or b'<!ENTITY' in data:
            return ''
        root = ElementTree.fromstring(data)
    except (ValueError, ElementTree.ParseError):
        return ''
    if root.tag != 'brx_package':
        return ''
    for child in root:
        if child.tag == 'version':
            return child.get('value', '')
    return ''


def _value(record, name):
    value = (record.get('properties') or {}).get(name) or {}
    value = value.get('value')
    return value if isinstance(value, str) else None


def brx_record_matches(records, package):
    """Whether a record of the component (win_reg_stat results of its
    subkeys) is the package's, matched as the stub matches it: the same
    ComponentFileName, or the same non-empty ComponentKeyExpectedPath."""
    for record in records or []:
        if not isinstance(record, dict):
            continue
        if package['file_name'] and _value(record, 'ComponentFileName') == package['file_name']:
            return True
        if package['expected_path'] and _value(record, 'ComponentKeyExpectedPath') == package['expected_path']:
            return True
    return False


def brx_detect(records, copy_stat, copy, package):
    """What a host holds: {recorded, version, current}. The version counts
    only with a record, from a definition copy that is a plain file. The
    version is the host's text: marked unsafe, Ansible never templates it."""
    recorded = brx_record_matches(records, package)
    stat = (copy_stat or {}).get('stat') or {}
    plain = (stat.get('exists') and stat.get('isreg') and not stat.get('islnk')
             and not stat.get('isjunction') and 'ReparsePoint' not in str(stat.get('attributes', '')))
    version = brx_definition_version((copy or {}).get('content')) if recorded and plain else ''
    current = bool(version) and brx_version_compare(version, package['version']) >= 0
    return wrap_var({'recorded': recorded, 'version': version, 'current': current})


def brx_unsafe(value):
    """The value with every text in it marked unsafe: what a package or a
    host wrote (brxpack inspect's report of a package's names, a session
    record) must never be evaluated as a template on the controller, where
    "{{ lookup('pipe', ...) }}" would run a command."""
    return wrap_var(value)


def _json_object(line):
    """The JSON object on a line, or None. A line nested too deeply for the
    parser (RecursionError) is skipped like any other broken line, so one
    hostile line cannot cost a host its summary."""
    try:
        record = json.loads(line)
    except (ValueError, RecursionError):
        return None
    return record if isinstance(record, dict) else None


def brx_session(text, package, records_before=None):
    """This run's session record in the text of a host's brxsetup.jsonl; {}
    when the run wrote none. records_before is win_stat's result for the file
    taken just before the install: only records the stub appended after that
    point are this run's, so a run that wrote none never gets an older run's
    record of the same sw_key and version. A file that shrank since was
    replaced: nothing in it is known to be this run's. Lines that are no JSON
    object are skipped: a record cut off by a power loss must not hide the
    ones around it."""
    data = str(text or '').encode('utf-8', 'surrogateescape')
    stat = (records_before or {}).get('stat') or {}
    start = int(stat.get('size') or 0) if stat.get('exists') else 0
    if start > len(data):
        return {}
    found = {}
    # Lines end at line feeds only: a record may hold U+2028 or NEL in its texts.
    for line in data[start:].split(b'\n'):
        record = _json_object(line.decode('utf-8', 'replace'))
        if (record is not None and record.get('sw_key') == package['sw_key']
                and record.get('package_version') == package['version']):
            found = record
    return wrap_var(found)


def _flag(value):
    return value is True or str(value).strip().lower() in ('true', 'yes', '1')


def _code(value):
    try:
        return int(value)
    except (TypeError, ValueError):
        return None


def brx_outcome(state):
    """The host's outcome from what the role saw (see tasks/report.yml)."""
    step = state.get('failed_step') or ''
    if step == 'staging':
        return 'staging_refused'
    if step == 'restart' and _flag(state.get('restart_pending')):
        return 'restart_pending'
    rc = _code(state.get('rc'))
    if rc is None:
        if step:
            return 'failed'
        return 'current' if _flag(state.get('current_before')) else 'failed'
    if _flag(state.get('dosretcode')):
        outcome = 'installed' if rc == 0 else 'failed'
    else:
        outcome = {1: 'installed', 2: 'installed_restart_needed', 3: 'not_attempted'}.get(rc, 'failed')
    if outcome == 'installed_restart_needed' and _flag(state.get('rebooted')):
        outcome = 'installed_restarted'
    # An install counts only when the host then shows the version; a failure
    # after the install (the restart, the detection) fails the host too.
    if outcome in SUCCESS_OUTCOMES and (step or not _flag(state.get('current_after'))):
        return 'failed'
    return outcome


def brx_succeeded(outcome):
    return outcome in SUCCESS_OUTCOMES


class FilterModule:
    def filters(self):
        return {
            'brx_version_compare': brx_version_compare,
            'brx_definition_version': brx_definition_version,
            'brx_record_matches': brx_record_matches,
            'brx_detect': brx_detect,
            'brx_session': brx_session,
            'brx_unsafe': brx_unsafe,
            'brx_outcome': brx_outcome,
            'brx_succeeded': brx_succeeded,
        }
