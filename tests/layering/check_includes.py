#!/usr/bin/env python3
"""Every #include of the product's sources against the libraries they link.

The graph of folders comes from the build itself: each CMakeLists.txt under
src/<subsystem>/ and tools/<tool>/ names its targets and what they link
(brx_library DEPS, target_link_libraries). A source may include headers of
its own folder and of the folders its targets reach through those links,
nothing else. On top of that graph, three rules keep the layers: platform
links nothing of ours, base only platform, and the user interface is linked
only by the installer and the stub.

Usage: check_includes.py REPOSITORY_ROOT
"""
import os
import re
import sys

CALL = re.compile(r'\b(brx_library|add_library|add_executable|target_link_libraries|set|list)\s*\(([^)]*)\)', re.S)
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
VARIABLE = re.compile(r'\$\{(\w+)\}')
KEYWORDS = {'PUBLIC', 'PRIVATE', 'INTERFACE', 'STATIC', 'OBJECT', 'WIN32', 'SOURCES', 'WIN32_SOURCES',
            'NATIVE_SOURCES', 'DEPS', 'APPEND'}
# Folders that may link each folder: None for any.
LINKED_ONLY_BY = {'ui': {'install', 'stub'}}
LINKS_AT_MOST = {'platform': set(), 'base': {'platform'}}


def folders(root):
    for top in ('src', 'tools'):
        for name in sorted(os.listdir(os.path.join(root, top))):
            if os.path.isfile(os.path.join(root, top, name, 'CMakeLists.txt')):
                yield name, os.path.join(root, top, name)


def calls(text):
    """(command, arguments) of a CMakeLists.txt, ${variables} of the file expanded."""
    text = re.sub(r'#[^\n]*', '', text)
    variables = {}
    for command, body in CALL.findall(text):
        words = VARIABLE.sub(lambda m: ' '.join(variables.get(m.group(1), [])), body).split()
        if command == 'set' and words:
            variables[words[0]] = words[1:]
        elif command == 'list' and len(words) > 1 and words[0] == 'APPEND':
            variables.setdefault(words[1], []).extend(words[2:])
        elif words:
            yield command, words


def link_graph(root):
    """folder -> folders its targets link directly."""
    owner, links = {}, {}
    for name, path in folders(root):
        with open(os.path.join(path, 'CMakeLists.txt'), encoding='utf-8') as f:
            text = f.read()
        for command, words in calls(text):
            if command in ('brx_library', 'add_library', 'add_executable'):
                owner[words[0]] = name
            if command == 'brx_library' and 'DEPS' in words:
                links.setdefault(name, []).extend(words[words.index('DEPS') + 1:])
            if command == 'target_link_libraries':
                links.setdefault(name, []).extend(words[1:])
    graph = {name: set() for name, _ in folders(root)}
    for name, targets in links.items():
        graph[name] |= {owner[t] for t in targets if t in owner and owner[t] != name}
    return graph


def reach(graph, start):
    seen, todo = set(), [start]
    while todo:
        for n in graph[todo.pop()] - seen:
            seen.add(n)
            todo.append(n)
    return seen


def check(root):
    graph = link_graph(root)
    problems = []
    for name, allowed in LINKS_AT_MOST.items():
        if graph.get(name, set()) - allowed:
            problems.append(f'{name} links {sorted(graph[name] - allowed)}; it may link only {sorted(allowed)}')
    for name, users in LINKED_ONLY_BY.items():
        for user, targets in sorted(graph.items()):
            if name in targets and user not in users:
                problems.append(f'{user} links {name}; only {sorted(users)} may')
    for name in graph:
        if name in reach(graph, name):
            problems.append(f'{name} links itself through {sorted(reach(graph, name))}')
    checked = 0
    for name, path in folders(root):
        allowed = reach(graph, name) | {name}
        for dirpath, _, files in os.walk(path):
            for file in sorted(f for f in files if f.endswith(('.cc', '.h'))):
                source = os.path.join(dirpath, file)
                with open(source, encoding='utf-8', errors='replace') as f:
                    for number, line in enumerate(f, 1):
                        m = INCLUDE.match(line)
                        if not m or '/' not in m.group(1):
                            continue  # a header beside the source, or one the build generates
                        checked += 1
                        layer = m.group(1).split('/')[0]
                        if layer not in allowed:
                            where = os.path.relpath(source, root)
                            problems.append(f'{where}:{number}: "{m.group(1)}" is not of {name} or what it links')
    return checked, problems


def main(argv):
    if len(argv) != 2:
        print(__doc__.strip().splitlines()[-1], file=sys.stderr)
        return 2
    checked, problems = check(argv[1])
    for p in problems:
        print(p)
    print(f'{checked} includes checked, {len(problems)} problems')
    return 1 if problems or checked == 0 else 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
