#include "search/TypingSearch.h"

#include "data/TextMatching.h"

#include <algorithm>
#include <string.h> // memmem, memcmp

namespace Search {

namespace {

bool plainAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? char(c + ('a' - 'A')) : c;
}

} // namespace

NameIndex::NameIndex(Db::SharedListRows rows)
    : m_rows(std::move(rows))
{
    const int lines = count();
    m_starts.reserve(size_t(lines) + 1);
    qsizetype bytes = 0;
    for (int row = 0; row < lines; ++row) {
        bytes += m_rows->lineUtf8(row).size() + 1;
    }
    m_folded.reserve(bytes);
    for (int row = 0; row < lines; ++row) {
        m_starts.push_back(quint32(m_folded.size()));
        const QByteArrayView line = m_rows->lineUtf8(row);
        if (plainAscii(line)) {
            for (const char c : line) {
                m_folded.append(lower(c));
            }
        } else {
            // Matched by the pattern: the byte search must never find it.
            m_otherLines.push_back(row);
        }
        m_folded.append('\0');
    }
    m_starts.push_back(quint32(m_folded.size()));

    // The pairs' lines: counted, then laid out back to back, each line once per pair
    // (`take` hears of a pair's first place in a line, and whether it stands there again).
    std::vector<int> lastLine(PairCount, -1);
    m_pairStarts.assign(PairCount + 1, 0);
    const auto eachPair = [&](const auto &take) {
        for (int row = 0; row < lines; ++row) {
            const char *text = m_folded.constData() + m_starts[size_t(row)];
            const qsizetype length = qsizetype(m_starts[size_t(row) + 1] - m_starts[size_t(row)]) - 1;
            for (qsizetype i = 0; i + 1 < length; ++i) {
                const int key = pair(text[i], text[i + 1]);
                const bool again = lastLine[size_t(key)] == row;
                lastLine[size_t(key)] = row;
                take(key, row, i, again);
            }
        }
    };
    eachPair([&](int key, int, qsizetype, bool again) { m_pairStarts[size_t(key) + 1] += again ? 0 : 1; });
    for (int key = 0; key < PairCount; ++key) {
        m_pairStarts[size_t(key) + 1] += m_pairStarts[size_t(key)];
    }
    m_pairLines.resize(m_pairStarts[PairCount]);
    m_pairPlaces.resize(m_pairStarts[PairCount]);
    std::vector<quint32> filled(m_pairStarts.begin(), m_pairStarts.end() - 1);
    std::fill(lastLine.begin(), lastLine.end(), -1);
    eachPair([&](int key, int row, qsizetype place, bool again) {
        quint32 &next = filled[size_t(key)];
        if (again) {
            m_pairPlaces[next - 1] = RepeatedPair;
            return;
        }
        m_pairLines[next] = row;
        m_pairPlaces[next] = place < RepeatedPair ? quint8(place) : RepeatedPair;
        ++next;
    });
}

NameIndex::Needle NameIndex::needle(const QString &text)
{
    Needle needle;
    QString typed = text;
    // The quick search's statement drops a NUL character too (no stored value holds one).
    typed.remove(QChar(u'\0'));
    const QByteArray utf8 = typed.toUtf8();
    needle.pattern = '%' + utf8 + '%';
    needle.matchesAll = utf8.isEmpty();
    if (!utf8.isEmpty() && plainAscii(utf8) && !utf8.contains('%') && !utf8.contains('_')) {
        needle.plain.reserve(utf8.size());
        for (const char c : utf8) {
            needle.plain.append(lower(c));
        }
    }
    return needle;
}

bool NameIndex::matches(const Needle &needle, int row) const
{
    if (needle.matchesAll) {
        return true;
    }
    const quint32 begin = m_starts[size_t(row)];
    const quint32 end = m_starts[size_t(row) + 1] - 1;
    if (needle.plain.isEmpty() || begin == end) {
        // An empty folded line is either empty text or a line the pattern matches.
        return Db::TextMatching::likeMatches(needle.pattern, m_rows->lineUtf8(row));
    }
    return memmem(m_folded.constData() + begin, end - begin, needle.plain.constData(), size_t(needle.plain.size()))
        != nullptr;
}

void NameIndex::findIn(const Needle &needle, int first, int last, std::vector<int> &hits) const
{
    if (needle.matchesAll) {
        for (int row = first; row < last; ++row) {
            hits.push_back(row);
        }
        return;
    }
    if (needle.plain.isEmpty()) {
        for (int row = first; row < last; ++row) {
            if (Db::TextMatching::likeMatches(needle.pattern, m_rows->lineUtf8(row))) {
                hits.push_back(row);
            }
        }
        return;
    }
    if (needle.plain.size() >= 2) {
        findByPairs(needle, first, last, hits);
        return;
    }
    // One byte search over the stretch; the lines the pattern matches are merged in
    // by their order.
    const char *folded = m_folded.constData();
    const auto startsBegin = m_starts.begin() + first;
    const auto startsEnd = m_starts.begin() + last + 1;
    auto other = std::lower_bound(m_otherLines.begin(), m_otherLines.end(), first);
    quint32 position = m_starts[size_t(first)];
    const quint32 end = m_starts[size_t(last)];
    for (;;) {
        const void *found = position < end
            ? memmem(folded + position, end - position, needle.plain.constData(), size_t(needle.plain.size()))
            : nullptr;
        const int line = found
            ? int(std::upper_bound(startsBegin, startsEnd, quint32(static_cast<const char *>(found) - folded))
                  - m_starts.begin() - 1)
            : last;
        for (; other != m_otherLines.end() && *other < line; ++other) {
            if (Db::TextMatching::likeMatches(needle.pattern, m_rows->lineUtf8(*other))) {
                hits.push_back(*other);
            }
        }
        if (!found) {
            return;
        }
        hits.push_back(line);
        position = m_starts[size_t(line) + 1];
    }
}

std::pair<int, qsizetype> NameIndex::rarestPair(const Needle &needle) const
{
    const auto lines = [&](int key) { return m_pairStarts[size_t(key) + 1] - m_pairStarts[size_t(key)]; };
    int rarest = pair(needle.plain[0], needle.plain[1]);
    qsizetype offset = 0;
    for (qsizetype i = 1; i + 1 < needle.plain.size(); ++i) {
        const int key = pair(needle.plain[i], needle.plain[i + 1]);
        if (lines(key) < lines(rarest)) {
            rarest = key;
            offset = i;
        }
    }
    return {rarest, offset};
}

int NameIndex::linesToLookAt(const Needle &needle) const
{
    if (needle.plain.size() < 2) {
        return count();
    }
    const int rarest = rarestPair(needle).first;
    return int(m_pairStarts[size_t(rarest) + 1] - m_pairStarts[size_t(rarest)]);
}

void NameIndex::findByPairs(const Needle &needle, int first, int last, std::vector<int> &hits) const
{
    const auto [rarest, offset] = rarestPair(needle);
    const auto linesBegin = m_pairLines.begin() + m_pairStarts[size_t(rarest)];
    const auto linesEnd = m_pairLines.begin() + m_pairStarts[size_t(rarest) + 1];
    auto line = std::lower_bound(linesBegin, linesEnd, first);
    auto other = std::lower_bound(m_otherLines.begin(), m_otherLines.end(), first);
    const auto otherEnd = std::lower_bound(other, m_otherLines.end(), last);
    const qsizetype size = needle.plain.size();
    for (;;) {
        const int row = line != linesEnd && *line < last ? *line : last;
        for (; other != otherEnd && *other < row; ++other) {
            if (Db::TextMatching::likeMatches(needle.pattern, m_rows->lineUtf8(*other))) {
                hits.push_back(*other);
            }
        }
        if (row == last) {
            return;
        }
        // A line of two characters' text holds it. In a line that holds the pair once,
        // the text can only stand where its own pair meets the line's.
        bool holds = size == 2;
        if (!holds) {
            const quint8 place = m_pairPlaces[size_t(line - m_pairLines.begin())];
            if (place == RepeatedPair) {
                holds = matches(needle, row);
            } else {
                const qsizetype at = qsizetype(place) - offset;
                const quint32 begin = m_starts[size_t(row)];
                const qsizetype length = qsizetype(m_starts[size_t(row) + 1] - begin) - 1;
                holds = at >= 0 && at + size <= length
                    && memcmp(m_folded.constData() + begin + at, needle.plain.constData(), size_t(size)) == 0;
            }
        }
        if (holds) {
            hits.push_back(row);
        }
        ++line;
    }
}

TypingSearch::TypingSearch(QObject *parent)
    : QObject(parent)
{
    m_next.setSingleShot(true);
    m_next.setInterval(0);
    connect(&m_next, &QTimer::timeout, this, &TypingSearch::step);
}

void TypingSearch::setIndex(std::shared_ptr<const NameIndex> index)
{
    cancel();
    m_index = std::move(index);
    m_lastValid = false;
    m_lastHits.clear();
    m_lastRows.reset();
}

void TypingSearch::cancel()
{
    m_next.stop();
    m_busy = false;
    m_candidates.clear();
    m_hits.clear();
}

void TypingSearch::start(const QString &text)
{
    cancel();
    if (!m_index) {
        return;
    }
    m_text = text;
    m_needle = NameIndex::needle(text);
    // Every line holding "aspi" holds "asp": the lines found for a plain text the new
    // one contains are all there is to look at.
    // A look at each of them costs a byte search in the line; where they are more than a
    // quarter of the lines of the new text's rarest pair, whose place in each line is
    // known, those lines are looked at instead.
    m_fromCandidates = m_lastValid && !m_needle.plain.isEmpty() && !m_lastPlain.isEmpty()
        && m_needle.plain.contains(m_lastPlain) && m_lastHits.size() * 4 <= size_t(m_index->linesToLookAt(m_needle));
    if (m_fromCandidates) {
        m_candidates = m_lastHits;
    }
    m_position = 0;
    m_busy = true;
    step();
}

void TypingSearch::step()
{
    if (!m_busy) {
        return;
    }
    QElapsedTimer clock;
    clock.start();
    const int total = m_fromCandidates ? int(m_candidates.size()) : m_index->count();
    // Stretches short enough to look at the clock often.
    constexpr int Stretch = 8192;
    int budget = m_linesPerStep;
    while (m_position < total && budget > 0 && clock.nsecsElapsed() < StepNanoseconds) {
        const int last = std::min({total, m_position + Stretch, m_position + budget});
        if (m_fromCandidates) {
            for (int i = m_position; i < last; ++i) {
                if (m_index->matches(m_needle, m_candidates[size_t(i)])) {
                    m_hits.push_back(m_candidates[size_t(i)]);
                }
            }
        } else {
            m_index->findIn(m_needle, m_position, last, m_hits);
        }
        budget -= last - m_position;
        m_position = last;
    }
    if (m_position < total) {
        m_next.start();
        return;
    }
    m_busy = false;
    const bool sameLines = m_lastValid && m_lastRows && m_hits == m_lastHits;
    m_lastPlain = m_needle.plain;
    m_lastHits = m_hits;
    m_lastValid = true;
    emit aboutToList(int(m_hits.size()));
    const Db::SharedListRows hits = sameLines ? m_lastRows
        : m_needle.matchesAll                 ? m_index->rows()
                                              : m_index->rows()->reordered(m_hits);
    m_lastRows = hits;
    m_hits.clear();
    m_candidates.clear();
    emit found(m_text, hits);
}

} // namespace Search
