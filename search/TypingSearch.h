#pragma once

#include "data/Database.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <utility>
#include <vector>

namespace Search {

// The lines of a window's whole list (what the empty quick search lists, in its order),
// kept for finding by a part of their text without a statement: each line once more in
// lower case, lines apart by a zero byte, so that a text of plain ASCII letters is
// found by a byte search over them all. A line holding anything but printable ASCII
// is matched as the database matches it (TextMatching::likeMatches).
class NameIndex
{
public:
    explicit NameIndex(Db::SharedListRows rows);

    const Db::SharedListRows &rows() const { return m_rows; }
    int count() const { return m_rows ? m_rows->count() : 0; }

    // How a typed text is matched: the pattern "%text%" as the quick search's LIKE takes
    // it, and, when the text is plain (ASCII without the wildcards % and _), its lower
    // case for the byte search.
    struct Needle
    {
        QByteArray pattern;
        QByteArray plain; // empty: match every line by the pattern
        bool matchesAll = false; // the empty text
    };
    static Needle needle(const QString &text);

    // Appends to `hits` the lines from `first` up to (not including) `last` that hold
    // the needle, in order.
    void findIn(const Needle &needle, int first, int last, std::vector<int> &hits) const;
    // Whether line `row` holds the needle.
    bool matches(const Needle &needle, int row) const;
    // How many lines findIn looks at for the needle over the whole list.
    int linesToLookAt(const Needle &needle) const;

private:
    Db::SharedListRows m_rows;
    QByteArray m_folded; // each line in lower case, then a zero byte
    std::vector<quint32> m_starts; // where each line starts in m_folded; one more for the end
    std::vector<int> m_otherLines; // lines matched by the pattern (not plain ASCII), in order
    // Every pair of characters next to each other in a plain line (lower case), and the
    // lines holding it, in order: a text of two characters or more is looked for in the
    // lines of its rarest pair alone. m_pairStarts[pair] to m_pairStarts[pair + 1] in
    // m_pairLines, and beside each line, in m_pairPlaces, where the pair stands in it
    // when it stands there once (RepeatedPair otherwise, or when it stands further in):
    // a longer text holding that pair can then only stand at one place in the line.
    static constexpr int PairCount = 128 * 128;
    static constexpr quint8 RepeatedPair = 255;
    std::vector<quint32> m_pairStarts;
    std::vector<int> m_pairLines;
    std::vector<quint8> m_pairPlaces;
    static int pair(char first, char second) { return (first & 0x7f) << 7 | (second & 0x7f); }
    // The needle's rarest pair and where it first stands in the needle.
    std::pair<int, qsizetype> rarestPair(const Needle &needle) const;
    // The lines from `first` to `last` that hold the plain needle, through its rarest pair.
    void findByPairs(const Needle &needle, int first, int last, std::vector<int> &hits) const;
};

// Finds the lines of a NameIndex that hold a typed text, in steps: each step takes at
// most a few milliseconds, and the rest waits for the event loop's next turn, so a key
// typed meanwhile is handled at once; start() with the next text, or cancel(), drops
// the search under way. A text that extends the one found before (and both plain) is
// looked for among that text's lines alone.
class TypingSearch : public QObject
{
    Q_OBJECT

public:
    explicit TypingSearch(QObject *parent = nullptr);

    void setIndex(std::shared_ptr<const NameIndex> index);
    const std::shared_ptr<const NameIndex> &index() const { return m_index; }

    // Starts finding `text`; a search under way is dropped. The first step runs at once:
    // when it finishes the search, found() is emitted before start returns.
    void start(const QString &text);
    void cancel();
    bool isBusy() const { return m_busy; }

    // Lines looked at per step, at most (tests make the steps short); the time each
    // step may take is bounded besides.
    void setLinesPerStep(int lines) { m_linesPerStep = qMax(1, lines); }
    static constexpr qint64 StepNanoseconds = 6'000'000;

signals:
    // The search is done and its `lines` are about to be copied into a list of their own
    // (for millions of lines, a step the window may want to show it waits for).
    void aboutToList(int lines);
    // The lines that hold `text`, in the index's order: the very rows given last time
    // when they are the same lines.
    void found(const QString &text, const Db::SharedListRows &hits);

private:
    void step();

    std::shared_ptr<const NameIndex> m_index;
    QTimer m_next;
    int m_linesPerStep = 1 << 30;
    bool m_busy = false;

    QString m_text;
    NameIndex::Needle m_needle;
    // Where the search looks: every line (m_candidates empty and m_fromCandidates false)
    // or the lines of the text found before.
    bool m_fromCandidates = false;
    std::vector<int> m_candidates;
    int m_position = 0; // the next line (or candidate) to look at
    std::vector<int> m_hits;

    // The last text found whole, for narrowing, and its lines as found() gave them.
    QByteArray m_lastPlain;
    std::vector<int> m_lastHits;
    Db::SharedListRows m_lastRows;
    bool m_lastValid = false;
};

} // namespace Search
