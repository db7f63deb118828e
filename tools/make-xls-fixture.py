#!/usr/bin/python3
"""Writes the small .xls fixture of the import tests (tests/import/data/anlagen.xls).

The binary workbook format is written by python3-xlwt (Debian package), which only this script needs; the file it
makes is committed, so the tests and CI do not. Run it again only to change the fixture:
    /usr/bin/python3 tools/make-xls-fixture.py
"""
import datetime
import os

import xlwt

HERE = os.path.dirname(os.path.abspath(__file__))
OUT = os.path.join(HERE, "..", "tests", "import", "data", "anlagen.xls")

book = xlwt.Workbook(encoding="utf-8")
sheet = book.add_sheet("Anlagen")
date_style = xlwt.easyxf(num_format_str="DD.MM.YYYY")
sheet.write(0, 0, "Kontonummer/ Inventarnummer")
sheet.write(0, 1, "Anlagebezeichnung")
sheet.write(0, 3, "Anschaffungs- datum")
sheet.write(0, 5, "Kennung")
sheet.write(0, 6, "Anschaffungs-/ Herstellungskosten")
rows = [
    ("0420", "Drehbank Müller", datetime.date(2015, 3, 15), 1234.5),
    ("0421", "Fräse", datetime.date(2001, 12, 1), 0.5),
    (4711, "Regal", datetime.date(2019, 7, 31), 250),
]
for i, (konto, desc, date, ahk) in enumerate(rows, start=1):
    sheet.write(i, 0, konto)
    sheet.write(i, 1, desc)
    sheet.write(i, 3, date, date_style)
    sheet.write(i, 5, "AHK")
    sheet.write(i, 6, ahk)
# A second sheet that the import must not read.
book.add_sheet("Andere").write(0, 0, "nicht lesen")
book.save(OUT)
print(OUT)
