#!/usr/bin/env python3
"""Fails when a folder of the source tree includes a folder that is not below it.

usage: check_layers.py SRC LAYER...
Each LAYER names the folders of one layer, lowest first, separated by commas ("split,join").
A file may include its own folder and the folders of lower layers; every folder under SRC
must be in a layer. Folders of one layer may not include each other, so no cycle can form.
"""
import os
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*"([^"/]+)/([^"]+)"')


def main(argv):
    if len(argv) < 3:
        print(__doc__.strip(), file=sys.stderr)
        return 2
    src, layers = argv[1], argv[2:]
    rank = {folder: i for i, layer in enumerate(layers) for folder in layer.split(',')}
    problems = []
    for folder in sorted(os.listdir(src)):
        if not os.path.isdir(os.path.join(src, folder)):
            continue
        if folder not in rank:
            problems.append(f'{src}/{folder}: a folder in no layer')
            continue
        for root, _, files in os.walk(os.path.join(src, folder)):
            for name in sorted(files):
                path = os.path.join(root, name)
                with open(path, encoding='utf-8', errors='replace') as text:
                    for number, line in enumerate(text, 1):
                        match = INCLUDE.match(line)
                        if not match or match.group(1) == folder:
                            continue
                        target = match.group(1)
                        if target not in rank:
                            continue  # not a folder of the tree (a system or generated header)
                        if rank[target] >= rank[folder]:
                            how = 'beside' if rank[target] == rank[folder] else 'above'
                            problems.append(f'{path}:{number}: includes "{target}/{match.group(2)}"'
                                            f', a folder {how} {folder}')
    for problem in problems:
        print(problem)
    if problems:
        print(f'{len(problems)} include(s) against the layers {" < ".join(layers)}')
        return 1
    print(f'The folders of {src} keep their layers: {" < ".join(layers)}')
    return 0


if __name__ == '__main__':
    sys.exit(main(sys.argv))
