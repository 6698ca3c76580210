#!/usr/bin/env python3
"""The translations of the program's texts (translations/kestrum_*.ts) against its sources.

  scripts/translations.py update [--lupdate PATH]   brings every .ts up to date with the sources
  scripts/translations.py check  [--lupdate PATH]   exit status 1 when a .ts is not: a text of the
        sources missing from it or one it has that the sources no longer have, or a message left
        unfinished, obsolete or vanished

The check runs lupdate on a copy of each .ts, so the files in the tree are never touched."""
import os, shutil, subprocess, sys, tempfile
import xml.etree.ElementTree as ET

ROOT = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(__file__)), '..'))
# Core code marks its fixed messages with KESTRUM_TR_NOOP (platform/trnoop.h); without locations
# a change of line numbers leaves the .ts files as they are.
OPTIONS = ['-locations', 'none', '-no-ui-lines', '-extensions', 'cpp,h',
           '-tr-function-alias', 'QT_TRANSLATE_NOOP+=KESTRUM_TR_NOOP']


def ts_files():
    folder = os.path.join(ROOT, 'translations')
    return sorted(os.path.join(folder, f) for f in os.listdir(folder)
                  if f.startswith('kestrum_') and f.endswith('.ts'))


def run_lupdate(lupdate, ts, extra=()):
    subprocess.run([lupdate, *OPTIONS, *extra, os.path.join(ROOT, 'src'), '-ts', ts],
                   check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def messages(ts):
    """{(context, source, comment): type} of every message in a .ts."""
    found = {}
    for context in ET.parse(ts).getroot().iter('context'):
        name = context.findtext('name')
        for message in context.iter('message'):
            key = (name, message.findtext('source'), message.findtext('comment') or '')
            found[key] = message.find('translation').get('type', '')
    return found


def check(lupdate):
    faults = []
    for ts in ts_files():
        base = os.path.basename(ts)
        committed = messages(ts)
        with tempfile.TemporaryDirectory() as tmp:
            copy = os.path.join(tmp, base)
            shutil.copy(ts, copy)
            run_lupdate(lupdate, copy)
            updated = messages(copy)
        for key in sorted(set(updated) - set(committed)):
            faults.append(f'{base}: [{key[0]}] "{key[1]}" is in the sources but not translated here')
        for key, kind in sorted(updated.items()):
            if kind in ('obsolete', 'vanished'):
                faults.append(f'{base}: [{key[0]}] "{key[1]}" is no longer in the sources')
            elif kind == 'unfinished' and key in committed:
                faults.append(f'{base}: [{key[0]}] "{key[1]}" is unfinished')
    for fault in faults:
        print(fault)
    if faults:
        print(f'{len(faults)} faults; see translations/README.md')
    return 1 if faults else 0


def main():
    args = sys.argv[1:]
    lupdate = '/usr/lib/qt6/bin/lupdate'
    if '--lupdate' in args:
        lupdate = args[args.index('--lupdate') + 1]
    if args[:1] == ['update']:
        for ts in ts_files():
            run_lupdate(lupdate, ts, ['-no-obsolete'])
        return 0
    if args[:1] == ['check']:
        return check(lupdate)
    print(__doc__)
    return 2


if __name__ == '__main__':
    sys.exit(main())
