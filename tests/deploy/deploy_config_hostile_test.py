#!/usr/bin/env python3
"""deploy_config_hostile_test.py DUMP: one table of hostile texts, each put
into every field of a package, through every tool's settings
(deploy_config_dump), read back by each format's own parser: Ansible's YAML
loader for the role's variables, PyYAML for the winget manifest, PowerShell's
literal rules for the scripts, the console texts line by line. Each reading
must give exactly the expected keys and values, or the settings must be
refused with the field named.
"""
import json
import re
import subprocess
import sys

import yaml
from ansible.parsing.yaml.loader import AnsibleLoader
from ansible.utils.unsafe_proxy import AnsibleUnsafeText

# A control character (C0, DEL, C1 with NEL), a line/paragraph separator, a noncharacter.
NONCHARACTER = '\ufdd0-\ufdef\ufffe\uffff\U0001fffe\U0001ffff'
LINE_OR_CONTROL = re.compile('[\x00-\x1f\x7f-\x9f\u2028\u2029%s]' % NONCHARACTER)
QUOTES = "'\u2018\u2019\u201a\u201b"  # what PowerShell takes for a single quote

HOSTILE = ([chr(c) for c in range(0x20)] + ['\x7f'] + [chr(c) for c in range(0x80, 0xa0)] + [
    '\u2028', '\u2029',
    "'", '\u2018', '\u2019', '\u201a', '\u201b', '"', '\u201c', '\u201d', '\u201e', '`', "''", "a'';b",
    "{{ lookup('pipe', 'touch /tmp/brx-pwned') }}", '{% if true %}x{% endif %}', '{# c #}',
    '$(Remove-Item C:\\)', '#> <#', '@SW_KEY@', 'a: b', '- x', '# y', '&<>', '!unsafe', '*a', '\\',
    '\ufeff', '\ufffe', '\uffff', '\ufdd0', '\U0001ffff', '\U0001f600', 'caf\xe9 \u2019 \u2026',
    'x\r\nPackageVersion: 9', 'x\x85InstallerSwitches: {}', 'x\u2028brx_pack_command: "{{ 1 }}"',
    'long ' + "'\u2019\"" * 20000,
])

BASE = {'package_file': 'PKGFILE.exe', 'definition': 'DEFINITION.xml', 'file_name': 'FILENAME.exe',
        'version': '9.8.7', 'sw_key': 'SWKEY', 'expected_path': 'EXPECTED:PATH', 'display_name': 'DISPLAYNAME'}
BASE_PATH = '/srv/DIRECTORY/PKGFILE.exe'
FIELD_WORDS = {'package_file': 'package file name', 'definition': 'definition', 'file_name': 'filename',
               'version': 'version', 'sw_key': 'sw_key', 'expected_path': 'sw_key expected_path'}

WINGET_INSTALLERS = [{'Architecture': 'x64', 'InstallerType': 'exe', 'Scope': 'machine',
                      'ElevationRequirement': 'elevatesSelf', 'InstallModes': ['silent'],
                      'InstallerSwitches': {'Silent': '/silent /dosretcode',
                                            'SilentWithProgress': '/silent /dosretcode'},
                      'UpgradeBehavior': 'install'}]

# PowerShell tokens that matter here: single-quoted literals (any of the
# quote characters; two in a row stand for the second), double-quoted
# strings, comments to the line's end or in <# #>, and other code.
PS_TOKEN = re.compile('(?P<lit>[{q}](?:[^{q}]|[{q}]{{2}})*[{q}])|(?P<dq>"[^"`]*")|(?P<comment><#.*?#>|#[^\\r\\n]*)'
                      '|(?P<code>[^{q}"#<]+|<)'.format(q=QUOTES), re.S)


def powershell(text):
    """(code with literals as @, literal values in order) of a script."""
    code, literals, at = [], [], 0
    for m in PS_TOKEN.finditer(text):
        if m.start() != at:
            raise ValueError('unreadable PowerShell at %d: %r' % (at, text[at:at + 40]))
        at = m.end()
        if m.group('lit'):
            literals.append(re.sub('([{q}])([{q}])'.format(q=QUOTES), r'\2', m.group('lit')[1:-1]))
            code.append('@')
        elif m.group('dq') or m.group('code'):
            code.append(m.group(0))
    if at != len(text):
        raise ValueError('unterminated PowerShell at %d' % at)
    return ''.join(code), literals


def settings(cases):
    """deploy_config_dump's answer for each (package, path)."""
    lines = ''.join(json.dumps({'package': p, 'path': path}) + '\n' for p, path in cases)
    out = subprocess.run([sys.argv[1]], input=lines.encode(), capture_output=True, check=True).stdout
    return [json.loads(line) for line in out.decode().split('\n') if line]


def substituted(text, package, path):
    """The base package's text with its values replaced by the case's."""
    for field, value in BASE.items():
        text = text.replace(value, package[field])
    return text


def check_case(base, package, path, got):
    """The problems of one case's settings; empty when it holds."""
    hostile = [FIELD_WORDS[f] for f in FIELD_WORDS if LINE_OR_CONTROL.search(package[f])] + \
        (['package file name'] if '"' in package['package_file'] else []) + \
        (['package path'] if re.search('[%s]' % NONCHARACTER, path) else [])
    if hostile:
        reason = got.get('refused', '')
        return [] if ('the %s ' % hostile[0]) in reason else ['not refused by its field: %r' % got]
    if 'settings' not in got:
        return ['refused: %r' % got]
    s = got['settings']
    problems = []
    for tool, text in s.items():
        # Every line is one line of printable text: only the line feeds end lines.
        if LINE_OR_CONTROL.sub('', text.replace('\n', '')) != text.replace('\n', ''):
            problems.append('%s: a control character or separator in the output' % tool)

    variables = AnsibleLoader(s['ansible']).get_single_data()
    want = {'brx_package_file': path, 'brx_serial': [1, '10%', '25%'], 'brx_reboot_allowed': False,
            'brx_arguments': []}
    if variables != want:
        problems.append('ansible: %r' % variables)
    elif not isinstance(variables['brx_package_file'], AnsibleUnsafeText):
        problems.append('ansible: brx_package_file is not marked unsafe')

    manifest = yaml.load(s['winget'], Loader=yaml.SafeLoader)
    if manifest != {'PackageVersion': package['version'], 'Installers': WINGET_INSTALLERS}:
        problems.append('winget: %r' % manifest)

    scripts = {tool: s[tool] for tool in ('chocolatey', 'dsc')}
    for tool in ('intune', 'configmgr'):
        console, _, script = s[tool].partition('\n----- ')
        base_console, _, base_script = base[tool].partition('\n----- ')
        scripts[tool] = script.partition('\n')[2]
        base_lines = base_console.split('\n')
        lines = console.split('\n')
        # No line gained or lost; the lines that carry no value stay as they were.
        if len(lines) != len(base_lines):
            problems.append('%s: %d console lines, not %d' % (tool, len(lines), len(base_lines)))
            continue
        for line, base_line in zip(lines, base_lines):
            carries = [f for f, v in BASE.items() if v.partition('.')[0] in base_line]
            if not carries and line != base_line:
                problems.append('%s: line %r became %r' % (tool, base_line, line))
            if any(f in ('file_name', 'sw_key') for f in carries) and 'DISPLAYNAME' not in base_line \
                    and line != substituted(base_line, package, path):
                problems.append('%s: value line %r' % (tool, line))
        # One install command, the package's own.
        is_command = re.compile('  (Install command|Installation program): ').match
        command = [line for line in lines if is_command(line)]
        if command != [line.replace('PKGFILE.exe', package['package_file']) for line in base_lines if is_command(line)]:
            problems.append('%s: install command %r' % (tool, command))
    for tool, script in scripts.items():
        base_code, base_literals = powershell(base[tool] if tool in ('chocolatey', 'dsc')
                                              else base[tool].partition('\n----- ')[2].partition('\n')[2])
        code, literals = powershell(script)
        if code != base_code:
            problems.append('%s: the script\'s code changed' % tool)
        want = [substituted(v, package, path) for v in base_literals]
        if literals != want:
            problems.append('%s: literals %r' % (tool, [l for l, w in zip(literals, want) if l != w][:3]))
    return problems


def main():
    cases = [(dict(BASE), BASE_PATH)]
    for text in HOSTILE:
        for field in BASE:
            cases.append((dict(BASE, **{field: 'a' + text + 'b'}), BASE_PATH))
        cases.append((dict(BASE), '/srv/' + text + '/PKGFILE.exe'))
    results = settings(cases)
    base = results[0]['settings']
    failures, passed = [], 0
    for (package, path), got in zip(cases, results):
        try:
            problems = check_case(base, package, path, got)
        except Exception as e:  # a parser refusing the settings is a failure of this case
            problems = ['unreadable: %s: %s' % (type(e).__name__, str(e)[:200])]
        if problems:
            changed = [f for f in BASE if package[f] != BASE[f]] or ['path']
            failures.append('%s %r: %s' % (changed[0], (package[changed[0]] if changed[0] != 'path' else path)[:60],
                                            '; '.join(problems)[:400]))
        else:
            passed += 1
    for f in failures[:40]:
        print('FAILED', f)
    print('%d passed, %d failed' % (passed, len(failures)))
    return 1 if failures or len(results) != len(cases) else 0


if __name__ == '__main__':
    sys.exit(main())
