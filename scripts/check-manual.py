#!/usr/bin/env python3
"""Checks the HTML manual: every link reaches a page and anchor that exist, every picture has alt
text and one of the names the screenshot script writes, every page links back to the contents.
Usage: scripts/check-manual.py [docs/manual]; exit status 1 on a fault."""
import os, re, sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', 'docs', 'manual')
pictures = {'main', 'portsetting', 'openport', 'senddatalist', 'dataedit', 'recdatalist', 'asctable',
            'editsymbol', 'autosendsetting', 'singlerecord', 'grouprecord', 'eventedit', 'monitorsetting',
            'tourboot', 'tourtop', 'tourplot'}
pages = {f: open(os.path.join(root, f), encoding='utf-8').read() for f in os.listdir(root) if f.endswith('.html')}
anchors = {f: set(re.findall(r'<a name="([^"]+)"', t)) | set(re.findall(r' id="([^"]+)"', t)) for f, t in pages.items()}
faults = []
for page, text in sorted(pages.items()):
    for href in re.findall(r'href="([^"]+)"', text):
        if href == 'style.css' or re.match(r'[a-z]+:', href):
            continue
        target, _, anchor = href.partition('#')
        target = target or page
        if target not in pages:
            faults.append(f'{page}: link to missing page {href}')
        elif anchor and anchor not in anchors[target]:
            faults.append(f'{page}: link to missing anchor {href}')
    for tag in re.findall(r'<img [^>]*>', text):
        src = re.search(r'src="images/([a-z]+)\.png"', tag)
        if not src or src.group(1) not in pictures:
            faults.append(f'{page}: picture with an unknown name: {tag[:60]}')
        if not re.search(r'alt="[^"]{10,}"', tag):
            faults.append(f'{page}: picture without alt text: {tag[:60]}')
    if page != 'contents.html' and 'href="contents.html"' not in text:
        faults.append(f'{page}: no link back to the contents')
    if not re.search(r'<title>[^<]+</title>', text):
        faults.append(f'{page}: no title')
unlisted = set(pages) - {'contents.html'} - set(re.findall(r'href="([a-z]+\.html)', pages.get('contents.html', '')))
faults += [f'contents.html: does not link {p}' for p in sorted(unlisted)]
print('\n'.join(faults) if faults else f'{len(pages)} pages, all links resolve')
sys.exit(1 if faults else 0)
