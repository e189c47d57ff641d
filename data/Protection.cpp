#include "data/Protection.h"

#include "data/Database.h"
#include "data/SqlText.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace Db {

namespace Protection {

namespace {

constexpr int PediatricMonths = 6;
constexpr int GainMonths = 60;

QString basePatent(const QString &number)
{
    return isPediatricPatent(number) ? number.chopped(4) : number;
}

bool isCore(Level level)
{
    return level == Level::DrugWide || level == Level::Change;
}

QString setterText(const std::vector<Line> &lines, int index)
{
    const Line &line = lines[size_t(index)];
    if (line.isPatent) {
        return QStringLiteral("patent %1 (%2)%3")
            .arg(basePatent(line.name), line.kind,
                 line.pediatric ? QStringLiteral(", pediatric extension") : QString());
    }
    QString text = QStringLiteral("exclusivity %1 (%2)").arg(line.name, line.kind);
    if (line.parent >= 0) {
        text += QStringLiteral(", extending %1").arg(lines[size_t(line.parent)].name);
    }
    return text;
}

} // namespace

bool isPediatricPatent(const QString &number)
{
    return number.endsWith(QLatin1String("*PED"), Qt::CaseInsensitive);
}

PatentKind patentKind(const PatentRow &row)
{
    if (row.substance) {
        return PatentKind::DrugSubstance;
    }
    if (row.product) {
        return PatentKind::DrugProduct;
    }
    return row.useCode.isEmpty() ? PatentKind::Unclassified : PatentKind::MethodOfUse;
}

QString kindText(PatentKind kind)
{
    switch (kind) {
    case PatentKind::DrugSubstance:
        return QStringLiteral("drug substance");
    case PatentKind::DrugProduct:
        return QStringLiteral("drug product");
    case PatentKind::MethodOfUse:
        return QStringLiteral("method of use");
    case PatentKind::Unclassified:
        break;
    }
    return QStringLiteral("unclassified");
}

QString levelText(Level level)
{
    switch (level) {
    case Level::DrugWide:
        return QStringLiteral("drug-wide");
    case Level::Change:
        return QStringLiteral("change");
    case Level::UseSpecific:
        return QStringLiteral("use-specific");
    case Level::Unknown:
        break;
    }
    return QStringLiteral("unknown code");
}

std::optional<Level> codeLevel(const QString &code)
{
    QString family = code.trimmed().toUpper();
    while (family.endsWith(QLatin1Char('*'))) {
        family.chop(1);
    }
    if (family == QLatin1String("PED") || family == QLatin1String("GAIN") || family == QLatin1String("PC")
        || family == QLatin1String("CGT") || family == QLatin1String("W")) {
        return std::nullopt;
    }
    if (family == QLatin1String("NCE")) {
        return Level::DrugWide;
    }
    static const QSet<QString> changes
        = {QStringLiteral("NP"), QStringLiteral("NS"), QStringLiteral("NDF"), QStringLiteral("NR"),
           QStringLiteral("NC"), QStringLiteral("NE"), QStringLiteral("RTO")};
    if (changes.contains(family)) {
        return Level::Change;
    }
    const QString head = family.section(QLatin1Char('-'), 0, 0);
    static const QSet<QString> uses
        = {QStringLiteral("ODE"), QStringLiteral("I"), QStringLiteral("M"), QStringLiteral("D"), QStringLiteral("NPP")};
    if (uses.contains(head)) {
        return Level::UseSpecific;
    }
    return Level::Unknown;
}

QDate parseDate(const QString &text)
{
    return parseDate(QStringView(text));
}

QDate parseDate(QStringView text)
{
    static const char *const months[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const QStringView t = text.trimmed();
    const int space = int(t.indexOf(QLatin1Char(' ')));
    const int comma = int(t.indexOf(QLatin1Char(',')));
    if (space != 3 || comma <= space) {
        return {};
    }
    int month = 0;
    for (int m = 0; m < 12; ++m) {
        if (t.left(3).compare(QLatin1StringView(months[m]), Qt::CaseInsensitive) == 0) {
            month = m + 1;
            break;
        }
    }
    bool dayOk = false;
    bool yearOk = false;
    const int day = t.mid(space + 1, comma - space - 1).toInt(&dayOk);
    const int year = t.mid(comma + 1).trimmed().toInt(&yearOk);
    if (month == 0 || !dayOk || !yearOk) {
        return {};
    }
    return QDate(year, month, day);
}

QString dateText(const QDate &date)
{
    static const char *const months[]
        = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    if (!date.isValid()) {
        return {};
    }
    return QStringLiteral("%1 %2, %3").arg(QLatin1String(months[date.month() - 1])).arg(date.day()).arg(date.year());
}

Figures compute(const std::vector<PatentRow> &patents, const std::vector<ExclusivityRow> &exclusivities,
                const KindElsewhere &kindElsewhere, const QDate &release)
{
    std::vector<Line> lines;
    const auto endedAt = [&release](const QDate &date) { return release.isValid() && date < release; };

    // Patents: one line per number, its records gathered; the kind is the broadest any
    // of its records has on this product. A product has tens of patents at most (126
    // records of 120 numbers in the largest release): found by a scan of its lines.
    const auto lineOf = [&lines](const QString &number) {
        for (int i = 0; i < int(lines.size()); ++i) {
            if (lines[size_t(i)].name == number) {
                return i;
            }
        }
        return -1;
    };
    std::vector<std::pair<QString, PatentKind>> ownKind;
    for (const PatentRow &row : patents) {
        if (isPediatricPatent(row.number)) {
            continue;
        }
        const PatentKind kind = patentKind(row);
        const auto found
            = std::find_if(ownKind.begin(), ownKind.end(), [&row](const auto &own) { return own.first == row.number; });
        if (found == ownKind.end()) {
            ownKind.emplace_back(row.number, kind);
        } else if (int(kind) < int(found->second)) {
            found->second = kind;
        }
    }
    const auto ownKindOf = [&ownKind](const QString &number) -> std::optional<PatentKind> {
        for (const auto &[name, kind] : ownKind) {
            if (name == number) {
                return kind;
            }
        }
        return std::nullopt;
    };
    for (const PatentRow &row : patents) {
        int index = lineOf(row.number);
        if (index < 0) {
            Line line;
            line.isPatent = true;
            line.name = row.number;
            line.date = row.expires;
            line.delisted = true;
            line.pediatric = isPediatricPatent(row.number);
            if (line.pediatric) {
                const QString base = basePatent(row.number);
                std::optional<PatentKind> kind = ownKindOf(base);
                if (!kind && kindElsewhere) {
                    kind = kindElsewhere(base);
                }
                line.kind = kindText(kind.value_or(PatentKind::Unclassified));
            } else {
                line.kind = kindText(ownKindOf(row.number).value_or(PatentKind::DrugSubstance));
            }
            index = int(lines.size());
            lines.push_back(line);
        }
        Line &line = lines[size_t(index)];
        line.recordIds.append(row.id);
        if (row.expires > line.date) {
            line.date = row.expires;
        }
        if (!row.useCode.isEmpty() && !line.useCodes.contains(row.useCode)) {
            line.useCodes.append(row.useCode);
        }
        line.delisted = line.delisted && row.delisted;
    }
    for (Line &line : lines) {
        line.counted = !line.delisted && line.date.isValid();
        if (line.pediatric) {
            line.parent = lineOf(basePatent(line.name));
        }
    }

    // Exclusivities: a line each. PED and GAIN extend the row of the product that ends 6
    // months or 5 years before them (month ends clamped), and take its level.
    const int firstExclusivity = int(lines.size());
    const int count = int(exclusivities.size());
    std::vector<std::optional<Level>> levels(static_cast<size_t>(count));
    std::vector<int> parents(size_t(count), -1);
    std::vector<bool> resolved(size_t(count), false);
    std::vector<QString> codes;
    codes.reserve(size_t(count));
    for (const ExclusivityRow &row : exclusivities) {
        codes.push_back(row.code.trimmed().toUpper());
    }
    const auto code = [&codes](int i) -> const QString & { return codes[size_t(i)]; };
    const auto notCounted = [&](int i) {
        const QString &c = code(i);
        return c == QLatin1String("PC") || c == QLatin1String("CGT") || c == QLatin1String("W");
    };
    std::function<Level(int, int)> levelOf = [&](int i, int depth) -> Level {
        if (resolved[size_t(i)]) {
            return levels[size_t(i)].value_or(Level::Unknown);
        }
        const QString &c = code(i);
        Level level = codeLevel(c).value_or(Level::Unknown);
        if ((c == QLatin1String("PED") || c == QLatin1String("GAIN")) && depth < 16) {
            const int months = c == QLatin1String("PED") ? PediatricMonths : GainMonths;
            const QDate date = exclusivities[size_t(i)].ends;
            int parent = -1;
            Level best = Level::DrugWide;
            for (int j = 0; j < count; ++j) {
                if (j == i || notCounted(j) || !exclusivities[size_t(j)].ends.isValid()
                    || exclusivities[size_t(j)].ends.addMonths(months) != date) {
                    continue;
                }
                const Level candidate = levelOf(j, depth + 1);
                // Two rows ending the same day: the broader one is what the extension extends.
                if (parent < 0 || int(candidate) < int(best)) {
                    parent = j;
                    best = candidate;
                }
            }
            parents[size_t(i)] = parent;
            level = best; // no parent in the file: drug-wide
        }
        levels[size_t(i)] = level;
        resolved[size_t(i)] = true;
        return level;
    };
    Figures figures;
    for (int i = 0; i < count; ++i) {
        const ExclusivityRow &row = exclusivities[size_t(i)];
        const QString &c = code(i);
        Line line;
        line.isPatent = false;
        line.name = row.code.trimmed();
        line.date = row.ends;
        line.recordIds = {row.id};
        if (c == QLatin1String("PC") || c == QLatin1String("CGT")) {
            line.kind = c == QLatin1String("PC") ? QStringLiteral("180-day generic exclusivity")
                                                 : QStringLiteral("competitive generic therapy exclusivity");
            if (row.ends.isValid() && (!figures.until180.isValid() || row.ends > figures.until180)) {
                figures.until180 = row.ends;
            }
        } else if (c == QLatin1String("W")) {
            line.kind = QStringLiteral("not published");
        } else {
            const Level level = levelOf(i, 0);
            line.kind = levelText(level);
            line.counted = row.ends.isValid();
            line.pediatric = c == QLatin1String("PED");
        }
        lines.push_back(line);
    }
    for (int i = 0; i < count; ++i) {
        if (!notCounted(i)) {
            levelOf(i, 0);
            if (parents[size_t(i)] >= 0) {
                lines[size_t(firstExclusivity + i)].parent = firstExclusivity + parents[size_t(i)];
            }
        }
    }

    // The latest dates and what sets them (a patent before an exclusivity of the same day).
    int listed = -1;
    int core = -1;
    // Of two lines of one day, a patent before an exclusivity, then the lower name: the
    // same whatever order the rows were read in.
    const auto later = [&lines](int candidate, int best) {
        if (best < 0) {
            return true;
        }
        const Line &x = lines[size_t(candidate)];
        const Line &y = lines[size_t(best)];
        if (x.date != y.date) {
            return x.date > y.date;
        }
        if (x.isPatent != y.isPatent) {
            return x.isPatent;
        }
        return x.name < y.name;
    };
    for (int i = 0; i < int(lines.size()); ++i) {
        Line &line = lines[size_t(i)];
        line.ended = endedAt(line.date);
        if (!line.counted) {
            continue;
        }
        if (later(i, listed)) {
            listed = i;
        }
        bool coreLine = false;
        if (line.isPatent) {
            coreLine
                = line.kind == kindText(PatentKind::DrugSubstance) || line.kind == kindText(PatentKind::DrugProduct);
        } else {
            const int e = i - firstExclusivity;
            coreLine = isCore(levels[size_t(e)].value_or(Level::Unknown));
        }
        if (coreLine && later(i, core)) {
            core = i;
        }
    }
    if (listed >= 0) {
        figures.listedEnd = lines[size_t(listed)].date;
        figures.listedSetter = setterText(lines, listed);
    }
    if (core >= 0) {
        figures.coreEnd = lines[size_t(core)].date;
        figures.coreSetter = setterText(lines, core);
    }
    if (release.isValid()) {
        if (figures.until180.isValid() && figures.until180 >= release) {
            figures.status = QStringLiteral("180-day exclusivity until ") + dateText(figures.until180);
        } else if (listed < 0) {
            figures.status = QStringLiteral("None listed");
        } else {
            figures.status = figures.listedEnd < release ? QStringLiteral("Ended") : QStringLiteral("Protected");
        }
    } else if (listed < 0) {
        figures.status = QStringLiteral("None listed");
    }

    // Date order, each extension right under the line it extends.
    std::vector<std::vector<int>> children(lines.size());
    std::vector<int> roots;
    for (int i = 0; i < int(lines.size()); ++i) {
        const int parent = lines[size_t(i)].parent;
        (parent >= 0 && parent != i ? children[size_t(parent)] : roots).push_back(i);
    }
    const auto byDate = [&lines](int a, int b) {
        const Line &x = lines[size_t(a)];
        const Line &y = lines[size_t(b)];
        if (x.date != y.date) {
            return x.date < y.date;
        }
        if (x.isPatent != y.isPatent) {
            return x.isPatent;
        }
        return x.name < y.name;
    };
    std::vector<int> order;
    std::vector<bool> placed(lines.size(), false);
    std::function<void(int)> place = [&](int i) {
        if (placed[size_t(i)]) {
            return;
        }
        placed[size_t(i)] = true;
        order.push_back(i);
        std::vector<int> &kids = children[size_t(i)];
        std::sort(kids.begin(), kids.end(), byDate);
        for (const int kid : kids) {
            place(kid);
        }
    };
    std::sort(roots.begin(), roots.end(), byDate);
    for (const int root : roots) {
        place(root);
    }
    for (int i = 0; i < int(lines.size()); ++i) {
        place(i); // a loop of extensions (never in the FDA's files) still shows every line
    }
    std::vector<int> newIndex(lines.size());
    for (int at = 0; at < int(order.size()); ++at) {
        newIndex[size_t(order[size_t(at)])] = at;
    }
    figures.timeline.reserve(lines.size());
    for (const int i : order) {
        Line line = std::move(lines[size_t(i)]);
        if (line.parent >= 0) {
            line.parent = newIndex[size_t(line.parent)];
        }
        figures.timeline.push_back(line);
    }
    return figures;
}

QString summaryText(const Figures &figures)
{
    QStringList parts;
    if (!figures.status.isEmpty()) {
        parts << figures.status;
    }
    if (figures.listedEnd.isValid()) {
        parts << QStringLiteral("listed protection ends %1: %2").arg(dateText(figures.listedEnd), figures.listedSetter);
        if (!figures.coreEnd.isValid()) {
            parts << QStringLiteral("no substance or product protection listed");
        } else if (figures.coreEnd == figures.listedEnd && figures.coreSetter == figures.listedSetter) {
            parts << QStringLiteral("substance and product protection ends the same day");
        } else {
            parts << QStringLiteral("substance and product protection ends %1: %2")
                         .arg(dateText(figures.coreEnd), figures.coreSetter);
        }
    }
    return parts.join(QStringLiteral("; "));
}

QString genericsText(const Generics &generics)
{
    if (generics.marketedARated == 0) {
        return QStringLiteral("No marketed A-rated ANDA of the same ingredient, dosage form, route and strength");
    }
    QString text = QStringLiteral("%1 marketed A-rated %2 of the same ingredient, dosage form, route and strength")
                       .arg(generics.marketedARated)
                       .arg(generics.marketedARated == 1 ? QStringLiteral("ANDA") : QStringLiteral("ANDAs"));
    if (generics.firstApproval.isValid()) {
        text += QStringLiteral(", the first approved %1").arg(dateText(generics.firstApproval));
    }
    return text;
}

} // namespace Protection

} // namespace Db
