"""The simulated host behind the fleet test's stand-ins for ansible.windows:
a private Wine prefix, named by BRX_FLEET_STATE (set by the host's Python
wrapper), where the real brxstub.exe runs."""
import json
import os
import subprocess

STATE = os.environ.get('BRX_FLEET_STATE', '')


def unix_path(windows_path):
    """The prefix's file for "C:\\a\\b", matching names as Windows does
    (ignoring case); None for anything but a drive path."""
    if not STATE or len(windows_path) < 2 or windows_path[1] != ':':
        return None
    current = os.path.realpath(os.path.join(STATE, 'prefix', 'dosdevices', windows_path[0].lower() + ':'))
    for part in [p for p in windows_path[2:].replace('/', '\\').split('\\') if p]:
        candidate = os.path.join(current, part)
        if not os.path.lexists(candidate) and os.path.isdir(current):
            for name in os.listdir(current):
                if name.lower() == part.lower():
                    candidate = os.path.join(current, name)
                    break
        current = candidate
    return current


def wine(program, *args, timeout=300):
    """Runs a Windows program in the host's prefix: (exit code, stdout, stderr)."""
    done = subprocess.run(['timeout', str(timeout), os.environ['BRX_FLEET_WINE_RUN'], STATE, program] + list(args),
                          stdout=subprocess.PIPE, stderr=subprocess.PIPE, stdin=subprocess.DEVNULL)
    return done.returncode, done.stdout.decode('utf-8', 'replace'), done.stderr.decode('utf-8', 'replace')


def ask(*args):
    """What brxfleet_host.exe answers inside the prefix, as a dict. Its
    commands are idempotent, so a run that answered nothing (Wine itself
    failing to start the process on a loaded machine) is tried once more."""
    for attempt in (1, 2):
        code, out, err = wine(os.environ['BRX_FLEET_HELPER'], *args, timeout=120)
        try:
            return json.loads(out.strip().splitlines()[-1])
        except (ValueError, IndexError):
            if out.strip():
                break
    return {'failed': True, 'msg': 'brxfleet_host %s: exit %d, %r, %r' % (args[0], code, out, err[-500:])}


def note(name, line):
    """Appends a line to one of the host's own records (installs, reboots)."""
    with open(os.path.join(STATE, name), 'a') as f:
        f.write(line + '\n')


def file_stat(path):
    """win_stat's view of a path, without following a link."""
    target = unix_path(path)
    if target is None or not os.path.lexists(target):
        return {'exists': False}
    link = os.path.islink(target)
    isdir = not link and os.path.isdir(target)
    attributes = ['Directory'] if isdir else ['Archive']
    if link:
        attributes.append('ReparsePoint')
    return {'exists': True, 'path': path, 'isdir': isdir, 'isreg': not link and os.path.isfile(target),
            'islnk': link, 'isjunction': False, 'attributes': ', '.join(attributes),
            'size': os.lstat(target).st_size}
