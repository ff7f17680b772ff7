#!/usr/bin/python
from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import ask

m = AnsibleModule({'path': {'type': 'str', 'required': True}})
result = ask('private-dir', m.params['path'])
if result.get('failed'):
    m.fail_json(**result)
m.exit_json(**result)
