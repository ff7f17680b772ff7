#!/usr/bin/python
# ansible.builtin.fetch asks ansible.legacy.stat about the host's file; this
# answers for the simulated host. No checksum: fetch then reads through slurp.
from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.fleet_host import file_stat, unix_path

m = AnsibleModule({'path': {'type': 'str', 'required': True}, 'follow': {'type': 'bool'},
                   'get_checksum': {'type': 'bool'}, 'checksum_algorithm': {'type': 'str'},
                   'get_mime': {'type': 'bool'}, 'get_attributes': {'type': 'bool'}, 'get_md5': {'type': 'bool'}},
                  supports_check_mode=True)
if unix_path(m.params['path']) is None:
    m.fail_json(msg='the fleet test stand-in knows only the simulated host\'s paths: %s' % m.params['path'])
m.exit_json(changed=False, stat=file_stat(m.params['path']))
