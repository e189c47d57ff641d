#include "components/BackdropText.h"

#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QStyle>
#include <QStyleOptionButton>

#include <algorithm>
#include <cmath>

namespace Components::BackdropText {

namespace {

double linear(int channel)
{
    const double value = channel / 255.0;
    return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
}

double ratio(double first, double second)
{
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

} // namespace

double relativeLuminance(const QColor &color)
{
    const QColor rgb = color.toRgb();
    return 0.2126 * linear(rgb.red()) + 0.7152 * linear(rgb.green()) + 0.0722 * linear(rgb.blue());
}

double contrastRatio(const QColor &first, const QColor &second)
{
    return ratio(relativeLuminance(first), relativeLuminance(second));
}

double lowestContrast(const QColor &text, const QImage &background, int cell)
{
    const QImage pixels = background.convertToFormat(QImage::Format_RGB32);
    const double own = relativeLuminance(text);
    const int side = std::max(1, cell);
    double lowest = 21.0;
    for (int top = 0; top < pixels.height(); top += side) {
        for (int left = 0; left < pixels.width(); left += side) {
            double sum = 0;
            int count = 0;
            for (int y = top; y < std::min(top + side, pixels.height()); ++y) {
                for (int x = left; x < std::min(left + side, pixels.width()); ++x) {
                    sum += relativeLuminance(QColor::fromRgb(pixels.pixel(x, y)));
                    ++count;
                }
            }
            lowest = std::min(lowest, ratio(own, sum / count));
        }
    }
    return lowest;
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
    QColor best = candidates[0];
    double bestContrast = 0;
    for (const QColor &candidate : candidates) {
        const double contrast = lowestContrast(candidate, background, cell);
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
