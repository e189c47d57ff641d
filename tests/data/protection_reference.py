#!/usr/bin/env python3
"""Listed protection of every product of an FDA release, read from the FDA's own files
with Python's csv module, written out apart from the program: one line per product,
"type~application~product~status~listed end~substance/product end~setter".

Usage: protection_reference.py FDA_ZIP RELEASE_DATE(yyyy-mm-dd) [OUT]"""
import calendar
import csv
import datetime
import io
import sys
import zipfile

MONTHS = {m: i for i, m in enumerate(calendar.month_abbr) if m}
CHANGE = {"NP", "NS", "NDF", "NR", "NC", "NE", "RTO"}
USE = {"ODE", "I", "M", "D", "NPP"}
NOT_COUNTED = {"PC", "CGT", "W"}


def rows(archive, name):
    text = archive.read(name).decode("utf-8", errors="replace")
    return list(csv.DictReader(io.StringIO(text, newline=""), delimiter="~"))


def day(text):
    month, rest = text.strip().split(" ", 1)
    d, y = rest.split(",")
    return datetime.date(int(y), MONTHS[month], int(d))


def plus_months(d, months):
    m = d.month - 1 + months
    y, m = d.year + m // 12, m % 12 + 1
    return datetime.date(y, m, min(d.day, calendar.monthrange(y, m)[1]))


def level(code):
    family = code.split("-")[0]
    code = code.rstrip("*")
    family = code.split("-")[0]
    if code == "NCE":
        return "drug-wide"
    if code in CHANGE:
        return "change"
    if family in USE:
        return "use-specific"
    return None


def product_exclusivity(rows_):
    """[(code, date, level)] for one product's counted rows (PED/GAIN with their parent's level)."""
    out = []
    resolved = {}

    def level_of(i, depth=0):
        if i in resolved:
            return resolved[i]
        code, date = rows_[i]
        if code in ("PED", "GAIN") and depth < 10:
            months = 6 if code == "PED" else 60
            parents = [j for j, (c, d) in enumerate(rows_) if j != i and c not in NOT_COUNTED
                       and plus_months(d, months) == date]
            levels = [level_of(j, depth + 1) for j in parents]
            found = "drug-wide" if not levels else min(levels, key=["drug-wide", "change", "use-specific", None].index)
        else:
            found = level(code)
        resolved[i] = found
        return found

    for i, (code, date) in enumerate(rows_):
        if code in NOT_COUNTED:
            continue
        out.append((code, date, level_of(i)))
    return out


def main(zip_path, release_text, out_path=None):
    release = datetime.date.fromisoformat(release_text)
    archive = zipfile.ZipFile(zip_path)
    products = rows(archive, "products.txt")
    patents = rows(archive, "patent.txt")
    exclusivities = rows(archive, "exclusivity.txt")

    def key(r):
        return (r["Appl_Type"], r["Appl_No"], r["Product_No"])

    kind_anywhere = {}
    own_kind = {}
    for p in patents:
        if p["Patent_No"].endswith("*PED"):
            continue
        kind = ("drug substance" if p["Drug_Substance_Flag"] == "Y" else "drug product"
                if p["Drug_Product_Flag"] == "Y" else "method of use" if p["Patent_Use_Code"] else "unclassified")
        own_kind.setdefault((key(p), p["Patent_No"]), set()).add(kind)
        kind_anywhere.setdefault(p["Patent_No"], set()).add(kind)
    order = ["drug substance", "drug product", "method of use", "unclassified"]

    def best(kinds):
        return min(kinds, key=order.index)

    by_product_pat = {}
    for p in patents:
        if p["Delist_Flag"] == "Y":
            continue
        number = p["Patent_No"]
        if number.endswith("*PED"):
            base = number[:-4]
            kinds = own_kind.get((key(p), base)) or kind_anywhere.get(base) or {"unclassified"}
        else:
            kinds = own_kind[(key(p), number)]
        by_product_pat.setdefault(key(p), []).append((day(p["Patent_Expire_Date_Text"]), best(kinds), number))
    by_product_excl = {}
    pc = {}
    for e in exclusivities:
        by_product_excl.setdefault(key(e), []).append((e["Exclusivity_Code"], day(e["Exclusivity_Date"])))
        if e["Exclusivity_Code"] in ("PC", "CGT"):
            d = day(e["Exclusivity_Date"])
            pc[key(e)] = max(pc.get(key(e), d), d)

    out = open(out_path, "w") if out_path else sys.stdout
    for p in products:
        k = key(p)
        listed = [(d, "patent " + n) for d, kind, n in by_product_pat.get(k, [])]
        core = [(d, "patent " + n) for d, kind, n in by_product_pat.get(k, []) if kind in ("drug substance", "drug product")]
        for code, d, lvl in product_exclusivity(by_product_excl.get(k, [])):
            listed.append((d, "exclusivity " + code))
            if lvl in ("drug-wide", "change"):
                core.append((d, "exclusivity " + code))
        end = max(d for d, _ in listed) if listed else None
        core_end = max(d for d, _ in core) if core else None
        if k in pc and pc[k] >= release:
            status = "180-day"
        elif end is None:
            status = "None listed"
        elif end < release:
            status = "Ended"
        else:
            status = "Protected"
        out.write("~".join([*k, status, end.isoformat() if end else "", core_end.isoformat() if core_end else ""]) + "\n")


if __name__ == "__main__":
    main(*sys.argv[1:])
