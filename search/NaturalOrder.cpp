#include "search/NaturalOrder.h"

#include <QCollator>
#include <QLocale>

#include <algorithm>
#include <cstring>
#include <numeric>

namespace Search {

namespace {

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

char folded(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c;
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return (uchar(c) & 0x80) == 0; });
}

// Where the digit run that starts at `at` ends.
qsizetype runEnd(QByteArrayView text, qsizetype at)
{
    while (at < text.size() && isDigit(text[at])) {
        ++at;
    }
    return at;
}

// Two digit runs by the numbers they write; equal numbers by fewer leading zeros first.
int compareRuns(QByteArrayView a, QByteArrayView b)
{
    qsizetype za = 0;
    qsizetype zb = 0;
    while (za + 1 < a.size() && a[za] == '0') {
        ++za;
    }
    while (zb + 1 < b.size() && b[zb] == '0') {
        ++zb;
    }
    const QByteArrayView na = a.sliced(za);
    const QByteArrayView nb = b.sliced(zb);
    if (na.size() != nb.size()) {
        return na.size() < nb.size() ? -1 : 1;
    }
    if (const int c = std::memcmp(na.data(), nb.data(), size_t(na.size())); c != 0) {
        return c;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Where the first digit of `text` is, -1 when it has none.
qsizetype firstDigit(QByteArrayView text)
{
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (isDigit(text[i])) {
            return i;
        }
    }
    return -1;
}

bool samePrefix(QByteArrayView a, QByteArrayView b, qsizetype length)
{
    if (a.size() < length || b.size() < length) {
        return false;
    }
    for (qsizetype i = 0; i < length; ++i) {
        if (folded(a[i]) != folded(b[i])) {
            return false;
        }
    }
    return true;
}

} // namespace

int compareNatural(QByteArrayView a, QByteArrayView b)
{
    // What the two share byte for byte compares equal (lines of one name come in long
    // runs); a run of digits cut by that shared part is compared from its start.
    const qsizetype shorter = std::min(a.size(), b.size());
    qsizetype shared = qsizetype(std::mismatch(a.begin(), a.begin() + shorter, b.begin()).first - a.begin());
    while (shared > 0 && isDigit(a[shared - 1])) {
        --shared;
    }
    qsizetype i = shared;
    qsizetype j = shared;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            const qsizetype ei = runEnd(a, i);
            const qsizetype ej = runEnd(b, j);
            if (const int c = compareRuns(a.sliced(i, ei - i), b.sliced(j, ej - j)); c != 0) {
                return c;
            }
            i = ei;
            j = ej;
            continue;
        }
        const char ca = folded(a[i]);
        const char cb = folded(b[j]);
        if (ca != cb) {
            return uchar(ca) < uchar(cb) ? -1 : 1;
        }
        ++i;
        ++j;
    }
    if (i < a.size()) {
        return 1;
    }
    return j < b.size() ? -1 : 0;
}

int compareNatural(QStringView a, QStringView b)
{
    const auto ascii = [](QStringView text) {
        return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x80; });
    };
    if (ascii(a) && ascii(b)) {
        return compareNatural(QByteArrayView(a.toLatin1()), QByteArrayView(b.toLatin1()));
    }
    static const QCollator collator = [] {
        // The user's language; a system set to the plain "C" locale (which orders by
        // code point, É after Z) gets English's order instead.
        const QLocale system = QLocale::system();
        QCollator c(system.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedStates) : system);
        c.setCaseSensitivity(Qt::CaseInsensitive);
        c.setNumericMode(true);
        return c;
    }();
    return collator.compare(a, b);
}

Db::SharedListRows inNaturalOrder(const Db::SharedListRows &rows)
{
    const int count = rows ? rows->count() : 0;
    if (count < 2) {
        return rows;
    }
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    bool ascii = true;
    for (int row = 0; row < count && ascii; ++row) {
        ascii = isAscii(rows->lineUtf8(row));
    }

    if (!ascii) {
        // Rare (the FDA's files are ASCII): the whole list through the language's collation.
        QStringList lines = rows->lines();
        std::stable_sort(order.begin(), order.end(),
                         [&lines](int x, int y) { return compareNatural(QStringView(lines[x]), lines[y]) < 0; });
    } else {
        const auto before = [&rows](int x, int y) { return compareNatural(rows->lineUtf8(x), rows->lineUtf8(y)) < 0; };
        // In the database's order, the lines that share what precedes a first run of
        // digits lie together: only such blocks can be out of natural order.
        int row = 0;
        while (row < count) {
            const QByteArrayView first = rows->lineUtf8(row);
            const qsizetype digit = firstDigit(first);
            int end = row + 1;
            if (digit >= 0) {
                while (end < count) {
                    const QByteArrayView next = rows->lineUtf8(end);
                    if (next.size() <= digit || !isDigit(next[digit]) || !samePrefix(first, next, digit)) {
                        break;
                    }
                    ++end;
                }
            }
            if (end - row > 1) {
                std::stable_sort(order.begin() + row, order.begin() + end, before);
            }
            row = end;
        }
        // A list the database did not sort (or sorted otherwise) is sorted whole.
        if (!std::is_sorted(order.begin(), order.end(), before)) {
            std::stable_sort(order.begin(), order.end(), before);
        }
    }
    for (int row = 0; row < count; ++row) {
        if (order[size_t(row)] != row) {
            return rows->reordered(order);
        }
    }
    return rows;
}

} // namespace Search
