# The role's own PowerShell module, in the fleet test: the same rule asked
# inside the host's prefix (library/brx_fleet_staging.py, brxfleet_host.exe).
from ansible.plugins.action import ActionBase


class ActionModule(ActionBase):
    def run(self, tmp=None, task_vars=None):
        result = super().run(tmp, task_vars)
        result.update(self._execute_module(module_name='ansible.legacy.brx_fleet_staging',
                                           module_args=self._task.args, task_vars=task_vars))
        return result
