#!/usr/bin/env python3
"""dBase tables as an independent reader (Debian's python3-dbfread) sees them.

  read_dbf.py count PATH...          one line per table: file name, live records,
                                     deleted records (a folder stands for its .DBF files)
  read_dbf.py rows TABLE [FIELD...]  one line per live record: the fields (all of them
                                     when none is named) joined by '|', None as '', text
                                     without its trailing blanks
  read_dbf.py repr TABLE             one line per live record: every field's Python repr,
                                     then 'deleted N'

Text is decoded as Windows-1252 and a byte that is not valid there fails the read.
"""
import os
import sys

from dbfread import DBF


def table(path):
    return DBF(path, encoding='cp1252', char_decode_errors='strict', load=True)


def text(value):
    return '' if value is None else str(value).rstrip()


def count(paths):
    for path in paths:
        files = ([os.path.join(path, f) for f in sorted(os.listdir(path)) if f.upper().endswith('.DBF')]
                 if os.path.isdir(path) else [path])
        for f in files:
            t = table(f)
            print(os.path.basename(f), len(t.records), len(t.deleted))


def rows(path, fields):
    t = table(path)
    for r in t.records:
        print('|'.join(text(r[f]) for f in (fields or t.field_names)))


def reprs(path):
    t = table(path)
    for r in t.records:
        print('|'.join(repr(r[f]) for f in t.field_names))
    print('deleted %d' % len(t.deleted))


if __name__ == '__main__':
    sys.stdout.reconfigure(encoding='utf-8')
    command, args = sys.argv[1], sys.argv[2:]
    if command == 'count':
        count(args)
    elif command == 'rows':
        rows(args[0], args[1:])
    elif command == 'repr':
        reprs(args[0])
    else:
        sys.exit('unknown command ' + command)
