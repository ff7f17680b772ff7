#!/usr/bin/python
from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import file_stat

m = AnsibleModule({'path': {'type': 'str', 'required': True}, 'get_checksum': {'type': 'bool', 'default': True}})
m.exit_json(changed=False, stat=file_stat(m.params['path']))
