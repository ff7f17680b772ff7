#!/usr/bin/python
# Runs the package, the real brxstub.exe with its payload, in the host's prefix.
from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import note, unix_path, wine

m = AnsibleModule({'path': {'type': 'str', 'required': True}, 'arguments': {'type': 'raw', 'default': []},
                   'expected_return_code': {'type': 'list', 'elements': 'int', 'default': [0, 3010]},
                   'state': {'type': 'str', 'default': 'present'}}, no_log=False)
arguments = m.params['arguments']
if isinstance(arguments, str):
    arguments = arguments.split()
note('installs', m.params['path'])
rc, out, _ = wine(unix_path(m.params['path']), *[str(a) for a in arguments])
if rc not in m.params['expected_return_code']:
    m.fail_json(msg='unexpected rc from install %s: see rc, stdout and stderr for more details' % m.params['path'],
                rc=rc, stdout=out, stderr='', changed=True)
# As the real module: an rc other than 0 would count as a failure without it.
m.exit_json(changed=True, failed=False, rc=rc, stdout=out, stderr='', reboot_required=False)
