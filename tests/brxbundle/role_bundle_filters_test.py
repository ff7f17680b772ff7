#!/usr/bin/env python3
"""The brx_bundle role's decisions (filter_plugins/brx_bundle.py), one table each."""
import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(__file__), '..', '..', 'deploy', 'ansible', 'roles',
                                'brx_bundle', 'filter_plugins'))
import brx_bundle  # noqa: E402

BUNDLE = {'name': 'Q1', 'version': '2026.1',
          'members': [{'file': 'a.exe', 'version': '1'}, {'file': 'b.exe', 'version': '2'}]}
failures = []


def check(name, got, want):
    if got != want:
        failures.append('%s: got %r, want %r' % (name, got, want))


def record(outcomes, **fields):
    r = {'record': 'bundle', 'bundle_name': 'Q1', 'bundle_version': '2026.1',
         'members': [{'file': f, 'outcome': o} for f, o in outcomes]}
    r.update(fields)
    return r


# The record: the last one of this bundle; other records and broken lines skipped.
text = '\n'.join([json.dumps(record([('a.exe', 'installed')], session_id='old')),
                  json.dumps({'schema': 1, 'session_id': 'member', 'stub_file': 'a.exe'}),
                  json.dumps(record([('a.exe', 'skipped')], session_id='new')),
                  json.dumps(record([], session_id='other', bundle_version='2025.4')),
                  '{"record": "bundle", "cut off'])
check('last record of the bundle', brx_bundle.brx_bundle_record(text, BUNDLE).get('session_id'), 'new')
check('no record', brx_bundle.brx_bundle_record('', BUNDLE), {})
check('members from the plan when no window ran',
      [m['outcome'] for m in brx_bundle.brx_bundle_members({}, BUNDLE)], ['not_run', 'not_run'])

done = record([('a.exe', 'installed'), ('b.exe', 'installed')])
left = record([('a.exe', 'installed_restart_needed'), ('b.exe', 'not_run')])
skipped = record([('a.exe', 'skipped'), ('b.exe', 'skipped')])
cases = [
    ('staging refused', {'failed_step': 'staging'}, 'staging_refused'),
    ('restart pending', {'failed_step': 'restart', 'restart_pending': 'True'}, 'restart_pending'),
    ('a member failed', {'failed_step': 'install', 'codes': []}, 'failed'),
    ('no run', {'codes': []}, 'failed'),
    ('one round installs', {'codes': [1], 'record': done}, 'installed'),
    ('restart not allowed', {'codes': [2], 'record': left}, 'installed_restart_needed'),
    ('restarted and completed', {'codes': ['2', '1'], 'rebooted': 'True', 'record': done}, 'installed_restarted'),
    ('rounds used up with members left', {'codes': [2, 2], 'rebooted': True, 'record': left}, 'incomplete'),
    ('everything there already', {'codes': [3], 'record': skipped}, 'current'),
    ('nothing applicable', {'codes': [3], 'record': record([('a.exe', 'not_attempted')])}, 'not_attempted'),
    ('unknown code', {'codes': [7]}, 'failed'),
]
for name, state, want in cases:
    check(name, brx_bundle.brx_bundle_outcome(state), want)
check('incomplete fails the host', brx_bundle.brx_bundle_succeeded('incomplete'), False)
check('current succeeds', brx_bundle.brx_bundle_succeeded('current'), True)

for f in failures:
    print(f)
print('%d failures' % len(failures))
sys.exit(1 if failures else 0)
