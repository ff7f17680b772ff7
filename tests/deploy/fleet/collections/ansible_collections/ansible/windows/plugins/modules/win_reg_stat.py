#!/usr/bin/python
from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import ask

m = AnsibleModule({'path': {'type': 'str', 'required': True, 'aliases': ['key']}, 'name': {'type': 'str'}})
args = ['reg-stat', m.params['path']] + ([m.params['name']] if m.params['name'] else [])
result = ask(*args)
if result.get('failed'):
    m.fail_json(**result)
m.exit_json(changed=False, **result)
