#!/usr/bin/env python3
"""Reads an export file with an independent library and prints what it holds
as JSON, for the export reader tests.

    read_exports.py csv FILE     rows of fields (Python's csv module)
    read_exports.py vcard FILE   one object per card (vobject)
    read_exports.py xlsx FILE    rows of [type, value] cells (openpyxl) and
                                 the sheet's column ranges (zipfile)
    read_exports.py ics FILE     the calendar's properties and one object per
                                 to-do (icalendar)

Exits 3 with a message when the library is not installed.
"""
import datetime
import json
import sys


def missing(name):
    print(f"python3 module {name} is not installed", file=sys.stderr)
    sys.exit(3)


def read_csv(path):
    import csv
    with open(path, newline="", encoding="utf-8-sig") as f:
        return [row for row in csv.reader(f, strict=True)]


def read_vcard(path):
    try:
        import vobject
    except ImportError:
        missing("vobject")
    with open(path, newline="", encoding="utf-8") as f:
        text = f.read()
    cards = []
    for card in vobject.readComponents(text, validate=False):
        entry = {}
        for child in card.getChildren():
            key = child.name.lower()
            value = child.value
            if key == "n":
                value = [value.family, value.given]
            elif key == "adr":
                value = [value.city, value.region, value.code, value.country]
            elif key == "org":
                value = list(value)
            entry[key] = value
        cards.append(entry)
    return cards


def read_xlsx(path):
    try:
        import openpyxl
    except ImportError:
        missing("openpyxl")
    book = openpyxl.load_workbook(path)
    sheet = book.worksheets[0]
    rows = []
    for row in sheet.iter_rows():
        cells = []
        for cell in row:
            value = cell.value
            if isinstance(value, datetime.datetime):
                cells.append(["date", value.isoformat(), cell.number_format])
            elif isinstance(value, bool):
                cells.append(["bool", value])
            elif isinstance(value, (int, float)):
                cells.append(["number", value, cell.number_format])
            elif value is None:
                cells.append(["empty"])
            else:
                cells.append([cell.data_type, value])
        rows.append(cells)
    return {"sheet": sheet.title, "freeze": sheet.freeze_panes, "rows": rows,
            "cols": column_ranges(path)}


def column_ranges(path):
    """The sheet's <col min max width> declarations as written, in order
    (openpyxl merges them on reading, so the XML itself is read)."""
    import xml.etree.ElementTree as ET
    import zipfile
    ns = "{http://schemas.openxmlformats.org/spreadsheetml/2006/main}"
    with zipfile.ZipFile(path) as z:
        root = ET.fromstring(z.read("xl/worksheets/sheet1.xml"))
    return [[int(c.get("min")), int(c.get("max")), float(c.get("width"))]
            for c in root.iter(ns + "col")]


def read_ics(path):
    try:
        import icalendar
    except ImportError:
        missing("icalendar")
    with open(path, "rb") as f:
        calendar = icalendar.Calendar.from_ical(f.read())
    if calendar.errors:
        raise ValueError(f"icalendar found errors: {calendar.errors}")
    todos = []
    for todo in calendar.walk("VTODO"):
        if todo.errors:
            raise ValueError(f"icalendar found errors in a to-do: {todo.errors}")
        entry = {}
        for key, value in todo.property_items(recursive=False):
            key = key.lower()
            if key in ("begin", "end"):
                continue
            if hasattr(value, "dt"):
                kind = "date-time" if isinstance(value.dt, datetime.datetime) else "date"
                entry[key] = [kind, value.dt.isoformat()]
            elif hasattr(value, "cats"):
                entry[key] = [str(c) for c in value.cats]
            elif isinstance(value, int):
                entry[key] = int(value)
            else:
                entry[key] = str(value)
        todos.append(entry)
    others = [c.name for c in calendar.subcomponents if c.name != "VTODO"]
    return {"version": str(calendar.get("VERSION")), "prodid": str(calendar.get("PRODID")),
            "todos": todos, "others": others}


def main():
    kind, path = sys.argv[1], sys.argv[2]
    readers = {"csv": read_csv, "vcard": read_vcard, "xlsx": read_xlsx, "ics": read_ics}
    print(json.dumps(readers[kind](path), ensure_ascii=False))


if __name__ == "__main__":
    main()
