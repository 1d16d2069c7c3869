#!/usr/bin/env python3
"""Checks the 32-bit release files: PE subsystem and OS version 4.0, imports
limited to the functions listed in scripts/win9x-imports.txt (functions that
Windows 95 and NT 4.0 export), and the decoder library's export table.

usage: check-pe.py <win32-build-dir>
"""
import os
import re
import subprocess
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
EXPORTS = sorted(['vbmp3_init', 'vbmp3_free', 'vbmp3_open', 'vbmp3_close', 'vbmp3_play', 'vbmp3_stop',
                  'vbmp3_pause', 'vbmp3_restart', 'vbmp3_getState', 'vbmp3_setVolume', 'vbmp3_getSpectrum'])


def objdump(path):
    return subprocess.run(['i686-w64-mingw32-objdump', '-p', path], capture_output=True, text=True,
                          check=True).stdout


def imports(dump):
    found, dll, in_table = [], None, False
    for line in dump.splitlines():
        m = re.match(r'\s*DLL Name: (\S+)', line)
        if m:
            dll, in_table = m.group(1).lower(), False
            continue
        if dll and 'Hint/Ord' in line:
            in_table = True
            continue
        if in_table:
            m = re.match(r'\s*[0-9a-f]+\s+\d+\s+(\S+)', line)
            if m:
                found.append(f'{dll} {m.group(1)}')
            elif not line.strip():
                in_table = False
    return found


def exports(dump):
    names, in_table = [], False
    for line in dump.splitlines():
        if '[Ordinal/Name Pointer] Table' in line:
            in_table = True
            continue
        if in_table:
            m = re.match(r'\s*\[\s*\d+\]\s+(\S+)', line)
            if m:
                names.append(m.group(1))
            elif not line.strip():
                break
    return sorted(names)


def header_value(dump, key):
    m = re.search(r'^%s\s+(\S+)' % key, dump, re.M)
    return m.group(1) if m else None


def main():
    build = sys.argv[1]
    allowed = set()
    with open(os.path.join(HERE, 'win9x-imports.txt'), encoding='utf-8') as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith('#'):
                allowed.add(line.lower())
    passed = failed = 0

    def check(ok, what):
        nonlocal passed, failed
        print(('ok    ' if ok else 'FAIL  ') + what)
        if ok:
            passed += 1
        else:
            failed += 1

    for name in ('vantrel_mp3.exe', 'vbmp3.dll'):
        path = os.path.join(build, 'bin', name)
        if not os.path.exists(path):
            check(False, f'{name} exists')
            continue
        dump = objdump(path)
        check(header_value(dump, 'MajorSubsystemVersion') == '4' and header_value(dump, 'MinorSubsystemVersion') == '0',
              f'{name}: subsystem version 4.0')
        check(header_value(dump, 'MajorOSystemVersion') == '4', f'{name}: OS version 4')
        extra = sorted(i for i in imports(dump) if i.lower() not in allowed)
        check(not extra, f'{name}: imports only functions of Windows 95 and NT 4.0'
              + ('' if not extra else ': not allowed: ' + ', '.join(extra)))
        if name == 'vbmp3.dll':
            got = exports(dump)
            check(got == EXPORTS, 'vbmp3.dll: exports exactly the eleven undecorated names'
                  + ('' if got == EXPORTS else ': ' + ', '.join(got)))
    print(f'check-pe: {passed} passed, {failed} failed')
    return 1 if failed else 0


if __name__ == '__main__':
    sys.exit(main())
