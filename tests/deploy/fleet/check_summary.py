#!/usr/bin/env python3
"""check_summary.py SUMMARY HOST=OUTCOME[:FIELD=VALUE...]... : the rollout's
summary holds exactly these hosts, with these outcomes and fields."""
import json
import sys

lines = [json.loads(line) for line in open(sys.argv[1]) if line.strip()]
by_host = {r['host']: r for r in lines}
want = {}
for arg in sys.argv[2:]:
    host, rest = arg.split('=', 1)
    parts = rest.split(':')
    want[host] = dict([('outcome', parts[0])] + [p.split('=', 1) for p in parts[1:]])
problems = []
if sorted(by_host) != sorted(want) or len(lines) != len(by_host):
    problems.append('hosts %s, expected %s' % ([r['host'] for r in lines], sorted(want)))
for host, fields in want.items():
    for key, value in fields.items():
        got = by_host.get(host, {}).get(key)
        if str(got) != value:
            problems.append('%s: %s is %r, expected %r' % (host, key, got, value))
for p in problems:
    print('summary:', p)
if problems:
    print(open(sys.argv[1]).read())
sys.exit(1 if problems else 0)
