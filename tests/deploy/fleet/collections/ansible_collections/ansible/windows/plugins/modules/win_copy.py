#!/usr/bin/python
import shutil

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import unix_path

m = AnsibleModule({'src': {'type': 'path', 'required': True}, 'dest': {'type': 'str', 'required': True}})
target = unix_path(m.params['dest'])
try:
    shutil.copyfile(m.params['src'], target)
except OSError as e:
    m.fail_json(msg='copying to %s failed: %s' % (m.params['dest'], e))
m.exit_json(changed=True, dest=m.params['dest'], src=m.params['src'])
