#!/usr/bin/python
import base64

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import unix_path

m = AnsibleModule({'src': {'type': 'str', 'required': True, 'aliases': ['path']}})
target = unix_path(m.params['src'])
try:
    with open(target or '', 'rb') as f:
        content = base64.b64encode(f.read()).decode()
except OSError as e:
    m.fail_json(msg='Path %s is not found: %s' % (m.params['src'], e))
m.exit_json(changed=False, content=content, encoding='base64', source=m.params['src'])
