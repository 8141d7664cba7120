#!/usr/bin/env python3
"""Reads a Kestrel dossier with dbfread, independently of the program's own
engine: opens every table, then prints, tab-separated,
- for each journal of DBK_01 (book year 1) and DBK_02 (book year 2):
  DBK, book year, code, the currency of its bank options (empty when none);
- for each entry line of ACT: ACT, BOOKYEAR, DBKCODE, PERIOD, DOCNUMBER,
  DOCTYPE, ACCOUNTGL, ACCOUNTRP, CURRCODE, then AMOUNTEUR and CURRAMOUNT in
  cents."""
import glob
import os
import re
import sys

from dbfread import DBF

folder, dossier = sys.argv[1], sys.argv[2]
for path in sorted(glob.glob(os.path.join(folder, "*.DBF"))):
    for _ in DBF(path, encoding="cp1252", char_decode_errors="strict"):
        pass


def text(value):
    return (value or "").strip()


def cents(value):
    return str(int(round((value or 0) * 100)))


for year in ("1", "2"):
    for r in DBF(os.path.join(folder, "%s_DBK_0%s.DBF" % (dossier, year)), encoding="cp1252"):
        currency = re.search(r"DEV=(\w*)", r["DBKOPT"] or "")
        print("\t".join(["DBK", year, text(r["DBKID"]), currency.group(1) if currency else ""]))
for r in DBF(os.path.join(folder, dossier + "_ACT.DBF"), encoding="cp1252"):
    print("\t".join(["ACT"] + [text(r[f]) for f in ("BOOKYEAR", "DBKCODE", "PERIOD", "DOCNUMBER", "DOCTYPE",
                                                   "ACCOUNTGL", "ACCOUNTRP", "CURRCODE")] +
                    [cents(r["AMOUNTEUR"]), cents(r["CURRAMOUNT"])]))
