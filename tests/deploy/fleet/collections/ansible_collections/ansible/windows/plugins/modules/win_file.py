#!/usr/bin/python
import os
import shutil

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import unix_path

m = AnsibleModule({'path': {'type': 'str', 'required': True}, 'state': {'type': 'str', 'default': 'file'}})
target = unix_path(m.params['path'])
changed = False
if m.params['state'] == 'absent' and target and os.path.lexists(target):
    if os.path.isdir(target) and not os.path.islink(target):
        shutil.rmtree(target)
    else:
        os.unlink(target)
    changed = True
elif m.params['state'] == 'directory' and target and not os.path.isdir(target):
    os.makedirs(target)
    changed = True
m.exit_json(changed=changed, path=m.params['path'])
