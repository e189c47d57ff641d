#!/usr/bin/env python3
"""Every product and patent record of the bundled release, read from the FDA's own
files with Python's csv module, against the database the build made from them:
the application type, short applicant name, RS flag, the strength and its note, the
delist flag and the submission date, row for row."""
import csv
import io
import sqlite3
import sys
import zipfile

FAILURES = []


def check(condition, what):
    if not condition:
        FAILURES.append(what)


def fda_rows(archive, name):
    with archive.open(name) as raw:
        data = raw.read()
    try:
        text = data.decode("utf-8")
    except UnicodeDecodeError:
        text = data.decode("cp1252", errors="replace")
    return list(csv.DictReader(io.StringIO(text, newline=""), delimiter="~"))


def blank_is_none(value):
    # Fields keep their blanks (the short name "ESI " among them); tabs around one are padding.
    value = value.strip("\t")
    return value if value else None


def strength_and_note(value):
    # Written out differently from the importer: split on every "**" at once.
    head, mark, tail = value.partition("**")
    strength = blank_is_none(head.strip(" \t"))
    if not mark:
        return strength, None
    notes = [piece.strip(" *\t") for piece in tail.split("**")]
    notes = [n for n in notes if n]
    return strength, "; ".join(notes) if notes else None


def main(zip_path, db_path):
    archive = zipfile.ZipFile(zip_path)
    db = sqlite3.connect("file:" + db_path + "?mode=ro", uri=True)

    products = fda_rows(archive, "products.txt")
    stored = db.execute(
        "SELECT ID, [Application Type], [Applicant], [Reference Standard (RS)], [Strength], [Strength Note],"
        " [New Drug Application (NDA) Number], [Product Number] FROM products ORDER BY ID").fetchall()
    check(len(stored) == len(products), "products: %d rows, the file has %d" % (len(stored), len(products)))
    notes = 0
    for line, (fda, row) in enumerate(zip(products, stored), start=2):
        strength, note = strength_and_note(fda["Strength"])
        notes += note is not None
        expected = (line - 1, blank_is_none(fda["Appl_Type"]), blank_is_none(fda["Applicant"]),
                    blank_is_none(fda["RS"]), strength, note, blank_is_none(fda["Appl_No"]),
                    blank_is_none(fda["Product_No"]))
        check(tuple(row) == expected, "products.txt line %d: %r, expected %r" % (line, row, expected))
        check(row[4] is None or "*" not in row[4], "products.txt line %d: a star left in %r" % (line, row[4]))
    check(notes == 2156, "%d strengths carry a note, expected 2156" % notes)
    # The FDA's reference standards among the generics it lists as marketed.
    rs = db.execute("SELECT count(*) FROM products WHERE [Application Type] = 'A' AND [Reference Standard (RS)] = 'Yes'"
                    " AND Type <> 'DISCN'").fetchone()[0]
    check(rs == 1299, "%d marketed ANDAs are RS, expected 1299" % rs)

    patents = fda_rows(archive, "patent.txt")
    stored = db.execute("SELECT ID, [Application Type], [Patent Number], [Delist Flag], [Submission Date]"
                        " FROM patent ORDER BY ID").fetchall()
    check(len(stored) == len(patents), "patent: %d rows, the file has %d" % (len(stored), len(patents)))
    for line, (fda, row) in enumerate(zip(patents, stored), start=2):
        expected = (line - 1, blank_is_none(fda["Appl_Type"]), blank_is_none(fda["Patent_No"]),
                    blank_is_none(fda["Delist_Flag"]), blank_is_none(fda["Submission_Date"]))
        check(tuple(row) == expected, "patent.txt line %d: %r, expected %r" % (line, row, expected))
    delisted = db.execute("SELECT count(*) FROM patent WHERE [Delist Flag] = 'Y'").fetchone()[0]
    submitted = db.execute("SELECT count(*) FROM patent WHERE [Submission Date] IS NOT NULL").fetchone()[0]
    check((delisted, submitted) == (78, 16776), "delisted, submitted: %d, %d" % (delisted, submitted))

    for failure in FAILURES[:20]:
        print(failure)
    if FAILURES:
        print("%d failures" % len(FAILURES))
        return 1
    print("every product and patent record matches")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2]))
