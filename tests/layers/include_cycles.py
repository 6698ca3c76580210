#!/usr/bin/env python3
"""No folder of src/ includes a folder that includes it back, however long the way round.

A folder is a top folder of src/, with its gui/ and features/ parts counted apart from it: those
are the layers a subsystem is cut into (the core without Qt below its widgets, the window below
its features). Exit status 1 names every group of folders that reach one another, with an include
for each step inside the group, so the line to move is in sight."""
import os, re, sys

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+/[^"]+)"', re.M)


def folder(path):
    parts = path.split('/')
    if len(parts) > 2 and parts[1] in ('gui', 'features'):
        return parts[0] + '/' + parts[1]
    return parts[0]


def includes(src):
    """{(from, to): 'file: #include "..."'} for every include that leaves its folder."""
    found = {}
    for top, _, files in os.walk(src):
        for name in sorted(files):
            if not name.endswith(('.h', '.cpp')):
                continue
            path = os.path.relpath(os.path.join(top, name), src).replace(os.sep, '/')
            with open(os.path.join(top, name), errors='replace') as f:
                for included in INCLUDE.findall(f.read()):
                    edge = (folder(path), folder(included))
                    if edge[0] != edge[1]:
                        found.setdefault(edge, f'{path}: #include "{included}"')
    return found


def groups(edges):
    """The strongly connected groups of more than one folder (Tarjan's, without recursion)."""
    graph = {}
    for a, b in edges:
        graph.setdefault(a, []).append(b)
        graph.setdefault(b, [])
    index, low, stack, on, result = {}, {}, [], set(), []
    for root in sorted(graph):
        if root in index:
            continue
        work = [(root, iter(sorted(graph[root])))]
        index[root] = low[root] = len(index)
        stack.append(root)
        on.add(root)
        while work:
            node, rest = work[-1]
            step = next(rest, None)
            if step is None:
                work.pop()
                if work:
                    low[work[-1][0]] = min(low[work[-1][0]], low[node])
                if low[node] == index[node]:
                    group = []
                    while True:
                        member = stack.pop()
                        on.discard(member)
                        group.append(member)
                        if member == node:
                            break
                    if len(group) > 1:
                        result.append(sorted(group))
            elif step not in index:
                index[step] = low[step] = len(index)
                stack.append(step)
                on.add(step)
                work.append((step, iter(sorted(graph[step]))))
            elif step in on:
                low[node] = min(low[node], index[step])
    return result


def main():
    src = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), '..', '..', 'src')
    edges = includes(src)
    found = groups(edges)
    for group in found:
        print('these folders include one another: ' + ', '.join(group))
        for (a, b), where in sorted(edges.items()):
            if a in group and b in group:
                print(f'  {a} -> {b}  ({where})')
    return 1 if found else 0


if __name__ == '__main__':
    sys.exit(main())
