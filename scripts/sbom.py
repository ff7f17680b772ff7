#!/usr/bin/env python3
"""Writes the bill of materials of what dist/bin ships: dist/brxstub.spdx.json
(SPDX 2.3) and dist/brxstub.cdx.json (CycloneDX 1.5).

Usage: sbom.py DIST [--out DIR] COMPONENTS.json...   (each build tree's sbom-components.json)

Deterministic for one commit: the only time in the documents is the commit's
own, identifiers are derived from it and from the files' digests, and keys
are sorted.
"""
import hashlib
import json
import os
import subprocess
import sys
import uuid
from urllib.parse import quote

NAMESPACE = uuid.UUID('6f1d4f2e-6b0c-4d39-9a43-2d3c7f1b5e10')  # this project's own


def commit_facts(root):
    """The commit's hash and its time in UTC (SOURCE_DATE_EPOCH wins)."""
    def git(*args):
        try:
            return subprocess.run(['git', '-C', root] + list(args), capture_output=True, text=True,
                                  check=True).stdout.strip()
        except (OSError, subprocess.CalledProcessError):
            return ''
    commit = git('rev-parse', 'HEAD') or 'unknown'
    epoch = os.environ.get('SOURCE_DATE_EPOCH') or git('log', '-1', '--format=%ct') or '0'
    import datetime
    created = datetime.datetime.fromtimestamp(int(epoch), datetime.timezone.utc).strftime('%Y-%m-%dT%H:%M:%SZ')
    return commit, created


def purl(component):
    version = quote(component['version'], safe='')
    qualifiers = 'arch=%s&distro=debian-12' % component['arch']
    return 'pkg:deb/debian/%s@%s?%s' % (component['package'], version, qualifiers)


def digests(path):
    data = open(path, 'rb').read()
    return hashlib.sha1(data).hexdigest(), hashlib.sha256(data).hexdigest()


def spdx_id(text):
    return 'SPDXRef-' + ''.join(c if c.isalnum() or c in '.-' else '-' for c in text)


def main(argv):
    dist = argv[1]
    out_dir = dist
    inputs = argv[2:]
    if inputs[:1] == ['--out']:
        out_dir, inputs = inputs[1], inputs[2:]
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    commit, created = commit_facts(root)
    trees = [json.load(open(p)) for p in inputs if os.path.exists(p)]

    # Only what dist/bin holds is described.
    components, files, version = {}, [], '0'
    for tree in trees:
        version = tree['version']
        by_id = {c['id']: c for c in tree['components']}
        for name, uses in sorted(tree['files'].items()):
            path = os.path.join(dist, 'bin', name)
            if not os.path.exists(path):
                continue
            sha1, sha256 = digests(path)
            refs = []
            for u in uses:
                key = u
                components[key] = dict(by_id[u], key=key, tree=tree['tree'])
                refs.append(key)
            files.append({'name': name, 'tree': tree['tree'], 'sha1': sha1, 'sha256': sha256,
                          'uses': sorted(refs)})
    files.sort(key=lambda f: f['name'])
    seed = commit + ''.join(f['sha256'] for f in files)
    document_uuid = uuid.uuid5(NAMESPACE, seed)

    def file_ref(f):
        return spdx_id('File-' + f['name'])

    def component_ref(key):
        return spdx_id('Package-' + key.replace(':', '-'))

    product_ref = 'SPDXRef-Package-brxstub'
    packages = [{
        'SPDXID': product_ref, 'name': 'brxstub', 'versionInfo': version,
        'downloadLocation': 'NOASSERTION', 'filesAnalyzed': True,
        'packageVerificationCode': {'packageVerificationCodeValue':
                                    hashlib.sha1(''.join(sorted(f['sha1'] for f in files)).encode()).hexdigest()},
        'licenseConcluded': 'NOASSERTION', 'licenseDeclared': 'NOASSERTION', 'copyrightText': 'NOASSERTION',
        'comment': 'built from commit ' + commit,
        'hasFiles': [file_ref(f) for f in files],
    }]
    for key, c in sorted(components.items()):
        packages.append({
            'SPDXID': component_ref(key), 'name': c['name'], 'versionInfo': c['version'],
            'downloadLocation': 'NOASSERTION', 'filesAnalyzed': False,
            'licenseConcluded': c['license'], 'licenseDeclared': c['license'], 'copyrightText': 'NOASSERTION',
            'sourceInfo': 'Debian package %s (source %s), upstream %s%s' % (
                c['package'], c['source'], c['upstream_version'], ', ' + c['note'] if c['note'] else ''),
            'externalRefs': [{'referenceCategory': 'PACKAGE-MANAGER', 'referenceType': 'purl',
                              'referenceLocator': purl(c)}],
            'primaryPackagePurpose': 'LIBRARY',
        })
    relationships = [{'spdxElementId': 'SPDXRef-DOCUMENT', 'relationshipType': 'DESCRIBES',
                      'relatedSpdxElement': product_ref}]
    spdx_files = []
    for f in files:
        spdx_files.append({'SPDXID': file_ref(f), 'fileName': './bin/' + f['name'],
                           'checksums': [{'algorithm': 'SHA1', 'checksumValue': f['sha1']},
                                         {'algorithm': 'SHA256', 'checksumValue': f['sha256']}],
                           'licenseConcluded': 'NOASSERTION', 'copyrightText': 'NOASSERTION'})
        relationships.append({'spdxElementId': product_ref, 'relationshipType': 'CONTAINS',
                              'relatedSpdxElement': file_ref(f)})
        for key in f['uses']:
            link = 'STATIC_LINK' if components[key]['linkage'] == 'static' else 'DYNAMIC_LINK'
            relationships.append({'spdxElementId': file_ref(f), 'relationshipType': link,
                                  'relatedSpdxElement': component_ref(key)})
    spdx = {
        'spdxVersion': 'SPDX-2.3', 'dataLicense': 'CC0-1.0', 'SPDXID': 'SPDXRef-DOCUMENT',
        'name': 'brxstub-' + version,
        'documentNamespace': 'https://brxstub.invalid/spdx/brxstub-%s-%s' % (version, document_uuid),
        'creationInfo': {'created': created, 'creators': ['Tool: brxstub-scripts-sbom.py']},
        'packages': packages, 'files': spdx_files, 'relationships': relationships,
    }

    cdx_components, dependencies = [], []
    for f in files:
        ref = 'file:' + f['name']
        cdx_components.append({'type': 'file', 'bom-ref': ref, 'name': f['name'], 'version': version,
                               'hashes': [{'alg': 'SHA-1', 'content': f['sha1']},
                                          {'alg': 'SHA-256', 'content': f['sha256']}]})
        dependencies.append({'ref': ref, 'dependsOn': f['uses']})
    for key, c in sorted(components.items()):
        licence = ({'license': {'id': c['license']}} if ' ' not in c['license']
                   else {'expression': c['license']})
        cdx_components.append({
            'type': 'library', 'bom-ref': key, 'name': c['name'], 'version': c['version'], 'purl': purl(c),
            'licenses': [licence],
            'properties': [{'name': 'brxstub:linkage', 'value': c['linkage']},
                           {'name': 'brxstub:upstream-version', 'value': c['upstream_version']},
                           {'name': 'brxstub:tree', 'value': c['tree']}] +
                          ([{'name': 'brxstub:note', 'value': c['note']}] if c['note'] else []),
        })
        dependencies.append({'ref': key, 'dependsOn': []})
    dependencies.append({'ref': 'brxstub', 'dependsOn': ['file:' + f['name'] for f in files]})
    cdx = {
        'bomFormat': 'CycloneDX', 'specVersion': '1.5', 'version': 1,
        'serialNumber': 'urn:uuid:%s' % document_uuid,
        'metadata': {'timestamp': created,
                     'tools': {'components': [{'type': 'application', 'name': 'scripts/sbom.py'}]},
                     'component': {'type': 'application', 'bom-ref': 'brxstub', 'name': 'brxstub',
                                   'version': version,
                                   'properties': [{'name': 'brxstub:commit', 'value': commit}]}},
        'components': cdx_components, 'dependencies': sorted(dependencies, key=lambda d: d['ref']),
    }
    for name, doc in (('brxstub.spdx.json', spdx), ('brxstub.cdx.json', cdx)):
        with open(os.path.join(out_dir, name), 'w') as out:
            json.dump(doc, out, indent=2, sort_keys=True)
            out.write('\n')


if __name__ == '__main__':
    main(sys.argv)
