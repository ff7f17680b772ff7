#!/usr/bin/env python3
"""The Ansible role's decisions (filter_plugins/brx.py), one table each.

The same rules are in the PowerShell detection script brxpack deploy-config
writes; the version cases here are the ones both must agree on.
"""
import base64
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'deploy', 'ansible', 'roles',
                                'brx_package', 'filter_plugins'))
import brx  # noqa: E402

PACKAGE = {'definition': 'cp0042.xml', 'file_name': 'cp0042.exe', 'version': '2.10',
           'sw_key': 'CP0042', 'expected_path': 'firmware:system'}
failures = []
passed = 0


def check(name, got, want):
    global passed
    if got == want:
        passed += 1
    else:
        failures.append(f'{name}: got {got!r}, want {want!r}')


VERSIONS = [
    ('2.10', '2.9', 1),         # numbers, not text
    ('2.9', '2.10', -1),
    ('1.2', '1.2.0', 0),        # a missing part is 0
    ('1.2.0.1', '1.2', 1),
    ('01.002', '1.2', 0),       # leading zeros
    ('A.01', 'a.01', 0),        # letters ignoring case
    ('1.0b', '1.0a', 1),        # text parts as text
    ('1.a', '1.2', 1),          # "A" after "2"
    ('1.2\n', '1.2', 1),        # a line break is no number
    ('', '1', -1),
    ('99999999999999999999', '1', 1),  # too long for a number: text
]
for left, right, want in VERSIONS:
    check(f'compare {left!r} {right!r}', brx.brx_version_compare(left, right), want)


def b64(text):
    return base64.b64encode(text.encode()).decode()


DEFINITIONS = [
    ('<brx_package version="2.0.2.0"><version value="2.10"/></brx_package>', '2.10'),
    # A commented-out version is no version.
    ('<brx_package><!-- <version value="9.9"/> --><version value="2.1"/></brx_package>', '2.1'),
    ('<brx_package><version value="1"/><version value="2"/></brx_package>', '1'),  # the first
    ('<other><version value="9"/></other>', ''),
    ('<brx_package><x><version value="9"/></x></brx_package>', ''),  # only a child of the root
    ('<!DOCTYPE brx_package [<!ENTITY v "9">]><brx_package><version value="&v;"/></brx_package>', ''),
    ('<brx_package><version value="1"', ''),
    ('', ''),
]
for text, want in DEFINITIONS:
    check(f'definition {text!r}', brx.brx_definition_version(b64(text)), want)
check('definition not base64', brx.brx_definition_version('%%%'), '')


def record(file_name=None, expected_path=None):
    props = {}
    if file_name is not None:
        props['ComponentFileName'] = {'type': 'REG_SZ', 'value': file_name}
    if expected_path is not None:
        props['ComponentKeyExpectedPath'] = {'type': 'REG_SZ', 'value': expected_path}
    return {'exists': True, 'properties': props}


RECORDS = [
    ([record('cp0042.exe', 'x')], True),
    ([record('CP0042.EXE', 'x')], False),            # case-sensitive, as the stub matches
    ([record('cp0041.exe', 'firmware:system')], True),  # an earlier version of the component
    ([record('other.exe', 'other'), record('cp0042.exe')], True),
    ([record()], False),
    ([], False),
    ([{'exists': False}], False),
]
for records, want in RECORDS:
    check(f'records {records!r}', brx.brx_record_matches(records, PACKAGE), want)

COPY = {'stat': {'exists': True, 'isreg': True, 'islnk': False, 'attributes': 'Archive'}}
XML = {'content': b64('<brx_package><version value="2.10.1"/></brx_package>')}
DETECTIONS = [
    ([record('cp0042.exe')], COPY, XML, {'recorded': True, 'version': '2.10.1', 'current': True}),
    # Without the record under HKLM the copy proves nothing: anybody could have made it.
    ([], COPY, XML, {'recorded': False, 'version': '', 'current': False}),
    ([record('cp0042.exe')], {'stat': dict(COPY['stat'], islnk=True)}, XML,
     {'recorded': True, 'version': '', 'current': False}),
    ([record('cp0042.exe')], {'stat': dict(COPY['stat'], attributes='Archive, ReparsePoint')}, XML,
     {'recorded': True, 'version': '', 'current': False}),
    ([record('cp0042.exe')], COPY, {'content': b64('<brx_package><version value="2.9"/></brx_package>')},
     {'recorded': True, 'version': '2.9', 'current': False}),
    ([record('cp0042.exe')], {'stat': {'exists': False}}, {'skipped': True},
     {'recorded': True, 'version': '', 'current': False}),
]
for records, stat, copy, want in DETECTIONS:
    check(f'detect {records!r} {stat!r}', brx.brx_detect(records, stat, copy, PACKAGE), want)

# A host's brxsetup.jsonl: only what this run appended after the size the
# file had before the install (win_stat) is this run's.
OLDER = '\n'.join([
    '{"sw_key": "CP0042", "package_version": "2.10", "session_id": "A", "completion_code": 1}',
    '{"sw_key": "CP0042", "package_version": "2.10", "session_id": "B", "first_error": "{{ lookup(\'pipe\', \'id\') }}"}',
    '{"sw_key": "CP0042", "package_ver',  # cut off by a power loss
])
NESTED = '[' * 100000 + ']' * 100000


def before(text):
    return {'stat': {'exists': True, 'size': len(text.encode())}}


SESSIONS = [
    # The run wrote no record: never an older run's record of the same sw_key and version.
    ('no record of this run', OLDER, before(OLDER), None),
    ('its own record', OLDER + '\n{"sw_key": "CP0042", "package_version": "2.10", "session_id": "C"}\n', before(OLDER), 'C'),
    # Appended to the cut line (a stub that starts no fresh line): still whole from the run's start.
    ('after a cut line', OLDER + '{"sw_key": "CP0042", "package_version": "2.10", "session_id": "D"}', before(OLDER), 'D'),
    ('another package\'s record', OLDER + '\n{"sw_key": "OTHER", "package_version": "2.10", "session_id": "E"}',
     before(OLDER), None),
    ('a line nested too deeply', NESTED + '\n{"sw_key": "CP0042", "package_version": "2.10", "session_id": "F"}\n[1]',
     {'stat': {'exists': False}}, 'F'),
    ('U+2028 inside a record', '{"sw_key": "CP0042", "package_version": "2.10", "session_id": "G", "x": "a\u2028b"}',
     {'stat': {'exists': False}}, 'G'),
    ('a file replaced by a shorter one', '{"sw_key": "CP0042", "package_version": "2.10", "session_id": "H"}',
     before(OLDER + OLDER), None),
    ('no file', '', {'stat': {'exists': False}}, None),
]
for name, text, stat, want in SESSIONS:
    got = brx.brx_session(text, PACKAGE, stat)
    check(f'session: {name}', got.get('session_id'), want)
    # What a host wrote is never a template to the controller.
    if got:
        check(f'session unsafe: {name}', all(getattr(v, '__UNSAFE__', False) for v in got.values()
                                              if isinstance(v, str)), True)

OUTCOMES = [
    ({'current_before': True}, 'current'),
    ({'current_before': False}, 'failed'),
    ({'rc': 1, 'current_after': True}, 'installed'),
    ({'rc': '1', 'current_after': 'True'}, 'installed'),     # as Ansible may template them
    ({'rc': 1, 'current_after': False}, 'failed'),           # the host does not show the version
    ({'rc': 2, 'current_after': True}, 'installed_restart_needed'),
    ({'rc': 2, 'current_after': True, 'rebooted': True}, 'installed_restarted'),
    ({'rc': 2, 'current_after': True, 'rebooted': True, 'failed_step': 'verify'}, 'failed'),
    ({'rc': 3, 'failed_step': 'install'}, 'not_attempted'),
    ({'rc': 0, 'failed_step': 'install'}, 'failed'),
    ({'rc': 3010, 'failed_step': 'install'}, 'failed'),
    ({'rc': 0, 'dosretcode': True, 'current_after': True}, 'installed'),
    ({'rc': 1, 'dosretcode': True, 'failed_step': 'install'}, 'failed'),
    ({'failed_step': 'staging'}, 'staging_refused'),
    ({'failed_step': 'restart', 'restart_pending': True}, 'restart_pending'),
    ({'failed_step': 'restart', 'restart_pending': False}, 'failed'),  # the restart itself failed
    ({'failed_step': 'detect'}, 'failed'),
]
for state, want in OUTCOMES:
    check(f'outcome {state!r}', brx.brx_outcome(state), want)

for f in failures:
    print('FAILED', f)
print(f'{passed} passed, {len(failures)} failed')
sys.exit(1 if failures else 0)
