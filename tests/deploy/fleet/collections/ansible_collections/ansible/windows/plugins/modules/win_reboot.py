#!/usr/bin/python
# Records the restart instead of making it, and clears what a restart clears.
from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import ask, note

m = AnsibleModule({'reboot_timeout': {'type': 'int', 'default': 600}, 'msg': {'type': 'str'}})
note('reboots', 'restart')
for key in ('HKLM:\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Component Based Servicing\\RebootPending',
            'HKLM:\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\WindowsUpdate\\Auto Update\\RebootRequired'):
    ask('reg-delete', key)
m.exit_json(changed=True, rebooted=True, elapsed=0)
