#!/usr/bin/env python3
"""Checks dist/'s bill of materials against what the build really used.

Usage: check_sbom.py ROOT EXPAT_STAMP ZLIB_STAMP CROSS_COMPILER

Both documents must parse, describe every shipped program in dist/bin with
its current SHA-256, and name each library linked into the stub with the
version actually used: dpkg-query's for Debian packages, the build stamp's
for the cross-built expat and zlib, the compiler's own for the GCC runtime. brxpack
inspect must read the same versions out of the stub. Regenerating the
documents must give the same bytes.
"""
import hashlib
import json
import os
import subprocess
import sys
import tempfile


def fail(message):
    print('check_sbom: ' + message, file=sys.stderr)
    sys.exit(1)


def dpkg_version(package):
    return subprocess.run(['dpkg-query', '-W', '-f=${Version}', package], capture_output=True, text=True,
                          check=True).stdout


def main(root, stamp, zlib_stamp, compiler):
    dist = os.path.join(root, 'dist')
    spdx = json.load(open(os.path.join(dist, 'brxstub.spdx.json')))
    cdx = json.load(open(os.path.join(dist, 'brxstub.cdx.json')))
    if spdx.get('spdxVersion') != 'SPDX-2.3' or spdx.get('dataLicense') != 'CC0-1.0':
        fail('not an SPDX 2.3 document')
    if cdx.get('bomFormat') != 'CycloneDX' or cdx.get('specVersion') not in ('1.5', '1.6'):
        fail('not a CycloneDX 1.5 document')

    # Every shipped program, with its digest now.
    spdx_files = {f['fileName'][len('./bin/'):]: f for f in spdx['files']}
    cdx_files = {c['name']: c for c in cdx['components'] if c['type'] == 'file'}
    shipped = [n for n in ('brxstub.exe', 'brxpack.exe', 'brxlog.exe', 'brxpack', 'brxlog')
               if os.path.exists(os.path.join(dist, 'bin', n))]
    if 'brxstub.exe' not in shipped:
        fail('dist/bin/brxstub.exe missing')
    for name in shipped:
        digest = hashlib.sha256(open(os.path.join(dist, 'bin', name), 'rb').read()).hexdigest()
        sums = {c['algorithm']: c['checksumValue'] for c in spdx_files.get(name, {}).get('checksums', [])}
        hashes = {h['alg']: h['content'] for h in cdx_files.get(name, {}).get('hashes', [])}
        if sums.get('SHA256') != digest or hashes.get('SHA-256') != digest:
            fail('%s is not described with its SHA-256 %s' % (name, digest))

    # The stub's statically linked libraries and their versions.
    stamp_fields = dict(l.strip().split('=', 1) for l in open(stamp) if '=' in l)
    zlib_fields = dict(l.strip().split('=', 1) for l in open(zlib_stamp) if '=' in l)
    gcc_package = dpkg_version('g++-mingw-w64-x86-64-win32')
    gcc_major = subprocess.run([compiler, '-dumpversion'], capture_output=True, text=True,
                               check=True).stdout.strip().split('-')[0].split('.')[0]
    if not gcc_package.startswith(gcc_major + '.'):
        fail('the compiler (%s) is not the packaged GCC %s' % (gcc_major, gcc_package))
    expected = {
        'zlib': zlib_fields.get('version', 'missing from the stamp'),
        'expat': stamp_fields.get('version', 'missing from the stamp'),
        'mingw-w64-crt': dpkg_version('mingw-w64-x86-64-dev'),
        'libstdc++ and libgcc': gcc_package,
    }
    packages = {p['SPDXID']: p for p in spdx['packages']}
    stub_id = spdx_files['brxstub.exe']['SPDXID']
    linked = {packages[r['relatedSpdxElement']]['name']: packages[r['relatedSpdxElement']]
              for r in spdx['relationships']
              if r['spdxElementId'] == stub_id and r['relationshipType'] == 'STATIC_LINK'}
    cdx_by_ref = {c['bom-ref']: c for c in cdx['components']}
    stub_deps = next(d['dependsOn'] for d in cdx['dependencies'] if d['ref'] == cdx_files['brxstub.exe']['bom-ref'])
    cdx_linked = {cdx_by_ref[r]['name']: cdx_by_ref[r] for r in stub_deps}
    for name, version in expected.items():
        package = linked.get(name)
        if not package or package['versionInfo'] != version or not package.get('licenseConcluded'):
            fail('SPDX: brxstub.exe does not link %s %s with a licence' % (name, version))
        purls = [r['referenceLocator'] for r in package.get('externalRefs', []) if r['referenceType'] == 'purl']
        if not purls or not purls[0].startswith('pkg:deb/debian/'):
            fail('SPDX: %s has no Debian package URL' % name)
        component = cdx_linked.get(name)
        if not component or component['version'] != version or component['purl'] != purls[0] \
                or not component.get('licenses'):
            fail('CycloneDX: brxstub.exe does not depend on %s %s' % (name, version))
    if stamp_fields.get('suite', '') not in linked['expat'].get('sourceInfo', ''):
        fail('the expat entry does not say which Debian suite it was built from')

    # What the stub itself says it carries.
    brxpack = os.path.join(dist, 'bin', 'brxpack')
    if os.path.exists(brxpack):
        report = json.loads(subprocess.run([brxpack, 'inspect', '--json', os.path.join(dist, 'bin', 'brxstub.exe')],
                                           capture_output=True, text=True).stdout)
        embedded = report['stub']['libraries']
        for name, version in (('zlib', expected['zlib']), ('expat', expected['expat'])):
            if version not in embedded.get(name, ''):
                fail('the stub carries %s %r, not %s' % (name, embedded.get(name), version))

    # One commit, one set of bytes.
    with tempfile.TemporaryDirectory() as out:
        trees = [os.path.join(root, 'build', t, 'sbom-components.json') for t in ('native', 'win')]
        subprocess.run([sys.executable, os.path.join(root, 'scripts', 'sbom.py'), dist, '--out', out] + trees,
                       check=True)
        for name in ('brxstub.spdx.json', 'brxstub.cdx.json'):
            if open(os.path.join(out, name), 'rb').read() != open(os.path.join(dist, name), 'rb').read():
                fail(name + ' differs when written again')
    print('check_sbom: %d programs, %d libraries of the stub checked' % (len(shipped), len(expected)))


if __name__ == '__main__':
    main(*sys.argv[1:5])
