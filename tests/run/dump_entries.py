#!/usr/bin/env python3
"""Reads a Kestrel dossier with dbfread, independently of the program's own
engine: opens every table, then prints each entry line of ACT as
BOOKYEAR, DBKCODE, DOCNUMBER, ACCOUNTGL, AMOUNTEUR in cents, tab-separated."""
import glob
import os
import sys

from dbfread import DBF

folder, dossier = sys.argv[1], sys.argv[2]
for path in sorted(glob.glob(os.path.join(folder, "*.DBF"))):
    table = DBF(path, encoding="cp1252", char_decode_errors="strict")
    for _ in table:
        pass
act = DBF(os.path.join(folder, dossier + "_ACT.DBF"), encoding="cp1252")
for r in act:
    amount = r["AMOUNTEUR"] or 0
    print("\t".join([r["BOOKYEAR"] or "", r["DBKCODE"] or "", r["DOCNUMBER"] or "", r["ACCOUNTGL"] or "",
                     str(int(round(amount * 100)))]))
