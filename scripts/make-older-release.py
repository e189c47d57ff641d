#!/usr/bin/env python3
"""Makes a made-up older FDA release from a real one, to try kvostrel-import --previous.

Usage: scripts/make-older-release.py RELEASE.zip OLDER.zip

From the release's three files it drops every 500th product (as if approved since)
and every 300th patent and exclusivity row, turns every 400th discontinued product
back into a marketed one, moves every 250th patent expiry a year earlier, and dates
the archive's files a month before the release's.
"""
import datetime
import sys
import zipfile


def main():
    source, target = sys.argv[1], sys.argv[2]
    with zipfile.ZipFile(source) as z:
        members = {info.filename.rsplit('/', 1)[-1].lower(): info for info in z.infolist()}
        texts = {name: z.read(info).decode('utf-8') for name, info in members.items()}
        written = datetime.datetime(*members['products.txt'].date_time)
    older = written.replace(month=written.month - 1) if written.month > 1 else written.replace(
        year=written.year - 1, month=12)

    def rows(name):
        header, *lines = texts[name].split('\r\n' if '\r\n' in texts[name] else '\n')
        return header, lines

    header, products = rows('products.txt')
    kept = []
    for i, line in enumerate(products):
        if i % 500 == 1:
            continue
        fields = line.split('~')
        if i % 400 == 3 and fields[-2] == 'DISCN':
            fields[-2] = 'RX'
        kept.append('~'.join(fields))
    texts['products.txt'] = '\r\n'.join([header] + kept)

    header, patents = rows('patent.txt')
    kept = []
    for i, line in enumerate(patents):
        if i % 300 == 2:
            continue
        fields = line.split('~')
        if i % 250 == 5 and fields[4][-4:].isdigit():
            fields[4] = fields[4][:-4] + str(int(fields[4][-4:]) - 1)
        kept.append('~'.join(fields))
    texts['patent.txt'] = '\r\n'.join([header] + kept)

    header, exclusivities = rows('exclusivity.txt')
    texts['exclusivity.txt'] = '\r\n'.join(
        [header] + [line for i, line in enumerate(exclusivities) if i % 300 != 4])

    with zipfile.ZipFile(target, 'w', zipfile.ZIP_DEFLATED) as z:
        for name in ('products.txt', 'patent.txt', 'exclusivity.txt'):
            z.writestr(zipfile.ZipInfo(name, older.timetuple()[:6]), texts[name].encode('utf-8'),
                       zipfile.ZIP_DEFLATED)


if __name__ == '__main__':
    main()
