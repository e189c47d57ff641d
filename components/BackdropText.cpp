#include "components/BackdropText.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace Components::BackdropText {

namespace {

// An 8-bit sRGB channel's linear value, worked out once for all 256.
double linear(int channel)
{
    static const std::array<double, 256> values = [] {
        std::array<double, 256> table{};
        for (int i = 0; i < 256; ++i) {
            const double value = i / 255.0;
            table[i] = value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
        }
        return table;
    }();
    return values[std::clamp(channel, 0, 255)];
}

double luminance(QRgb pixel)
{
    return 0.2126 * linear(qRed(pixel)) + 0.7152 * linear(qGreen(pixel)) + 0.0722 * linear(qBlue(pixel));
}

double ratio(double first, double second)
{
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// The mean luminance of each square of `cell` pixels of `background`.
std::vector<double> squareLuminances(const QImage &background, int cell)
{
    const QImage pixels = background.convertToFormat(QImage::Format_RGB32);
    const int side = std::max(1, cell);
    std::vector<double> squares;
    for (int top = 0; top < pixels.height(); top += side) {
        for (int left = 0; left < pixels.width(); left += side) {
            double sum = 0;
            int count = 0;
            for (int y = top; y < std::min(top + side, pixels.height()); ++y) {
                const auto *line = reinterpret_cast<const QRgb *>(pixels.constScanLine(y));
                for (int x = left; x < std::min(left + side, pixels.width()); ++x) {
                    sum += luminance(line[x]);
                    ++count;
                }
            }
            squares.push_back(sum / count);
        }
    }
    return squares;
}

double lowestAgainst(double own, const std::vector<double> &squares)
{
    double lowest = 21.0;
    for (const double square : squares) {
        lowest = std::min(lowest, ratio(own, square));
    }
    return lowest;
}

} // namespace

double relativeLuminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return luminance(rgb.rgb());
}

double contrastRatio(const QColor &first, const QColor &second)
{
    return ratio(relativeLuminance(first), relativeLuminance(second));
}

double lowestContrast(const QColor &text, const QImage &background, int cell)
{
    return lowestAgainst(relativeLuminance(text), squareLuminances(background, cell));
}

QRect textArea(const QWidget *widget)
{
    if (const auto *label = qobject_cast<const QLabel *>(widget)) {
        if (label->wordWrap()) {
            return label->contentsRect();
        }
        return label->style()->itemTextRect(label->fontMetrics(), label->contentsRect(), int(label->alignment()),
                                            label->isEnabled(), label->text());
    }
    if (const auto *box = qobject_cast<const QCheckBox *>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect caption = box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
        return box->style()->itemTextRect(box->fontMetrics(), caption, Qt::AlignLeft | Qt::AlignVCenter,
                                          box->isEnabled(), box->text());
    }
    return widget->rect();
}

QColor lightText()
{
    return {224, 224, 224};
}

QColor darkText()
{
    return {16, 16, 16};
}

QColor readableOn(const QImage &background, int cell)
{
    // The design's light grey where it reads, else dark text; where the backdrop holds
    // both light and dark pixels beneath the text, white or black may still read.
    const QColor candidates[] = {lightText(), darkText(), Qt::white, Qt::black};
    const std::vector<double> squares = squareLuminances(background, cell);
    QColor best = candidates[0];
    double bestContrast = 0;
    for (const QColor &candidate : candidates) {
        const double contrast = lowestAgainst(relativeLuminance(candidate), squares);
        if (contrast >= MinimumContrast) {
            return candidate;
        }
        if (contrast > bestContrast) {
            best = candidate;
            bestContrast = contrast;
        }
    }
    return best;
}

} // namespace Components::BackdropText
