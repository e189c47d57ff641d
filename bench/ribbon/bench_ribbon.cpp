// Figures for the ribbon of the main window (2 tabs, 4 categories, 8 buttons):
// full Refresh, tab switch and theme change times, and the area a hover change repaints.
#include "RibbonTestSupport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdio>
#include <functional>

using namespace Components;
using namespace Ribbon;

namespace {

struct Figures
{
    double median;
    double p95;
    double mean;
};

Figures timeRuns(int runs, const std::function<void()> &work)
{
    QVector<double> micros;
    micros.reserve(runs);
    QElapsedTimer timer;
    for (int i = 0; i < runs; ++i) {
        timer.start();
        work();
        micros.append(double(timer.nsecsElapsed()) / 1000.0);
    }
    std::sort(micros.begin(), micros.end());
    double sum = 0;
    for (double m : micros) {
        sum += m;
    }
    return {micros[runs / 2], micros[std::min(runs - 1, runs * 95 / 100)], sum / runs};
}

void print(const char *what, const Figures &f)
{
    std::printf("%-44s median %8.1f us   p95 %8.1f us   mean %8.1f us\n", what, f.median, f.p95, f.mean);
}

qint64 area(const QRegion &region)
{
    qint64 total = 0;
    for (const QRect &rect : region) {
        total += qint64(rect.width()) * rect.height();
    }
    return total;
}

void settle()
{
    for (int i = 0; i < 3; ++i) {
        QApplication::processEvents();
    }
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    QApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(10, atoi(argv[1])) : 2000;

    VbalImageList images;
    QWidget window;
    auto *layout = new QVBoxLayout(&window);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *ribbon = new ZetRibbon;
    layout->addWidget(ribbon);
    layout->addStretch();
    ribbon->setTheme(0);
    ribbon->setButtonCenter(false);
    fillAsMainWindow(*ribbon, images);
    window.resize(1024, 300);
    window.show();
    settle();

    std::printf("Ribbon of the main window: %d runs each\n", runs);
    print("Refresh (tabs, categories, buttons)", timeRuns(runs, [&] { ribbon->Refresh(); }));
    int tab = 0;
    print("tab click (categories and buttons again)", timeRuns(runs, [&] {
              tab = 1 - tab;
              ribbon->selectTab(tab);
          }));
    ribbon->selectTab(0);
    print("Theme write (26 pictures via temp files)", timeRuns(std::max(10, runs / 20), [&] { ribbon->setTheme(1); }));
    print("new ribbon, then its Theme written", timeRuns(std::max(10, runs / 20), [] {
              ZetRibbon fresh;
              fresh.setTheme(0);
          }));
    ribbon->setTheme(0);
    ribbon->Refresh();
    settle();

    // Repainting: a hover from one button to its neighbour, against a full Refresh.
    PaintRecorder meter;
    ribbon->installEventFilter(&meter);
    const RibbonScene &scene = ribbon->scene();
    const QPoint first = centreOf(scene.at(RibbonFamily::ButMouse, 1));
    const QPoint second = centreOf(scene.at(RibbonFamily::ButMouse, 2));
    moveMouse(ribbon, first);
    settle();
    meter.painted = QRegion();
    meter.events = 0;
    moveMouse(ribbon, second);
    settle();
    const qint64 whole = qint64(ribbon->width()) * ribbon->height();
    const qint64 hover = area(meter.painted);
    const QRect bounds = meter.painted.boundingRect();
    std::printf("\nhover change Show Drugs -> Ingredients: %d paint event(s), %lld px of %lld (%.1f%%), "
                "%d rectangle(s), bounds %dx%d at %d,%d\n",
                meter.events, static_cast<long long>(hover), static_cast<long long>(whole),
                100.0 * double(hover) / double(whole), int(meter.painted.rectCount()), bounds.width(), bounds.height(),
                bounds.x(), bounds.y());
    const QRegion expected
        = QRegion(pixelRect(scene.at(RibbonFamily::ButMouse, 1))) + pixelRect(scene.at(RibbonFamily::ButMouse, 2));
    std::printf("  outside the two buttons' rectangles: %lld px\n",
                static_cast<long long>(area(meter.painted.subtracted(expected))));

    meter.painted = QRegion();
    moveMouse(ribbon, centreOf(scene.at(RibbonFamily::ButMouse, 6)));
    settle();
    std::printf("hover change into the next category (Exit): %lld px (%.1f%%)\n",
                static_cast<long long>(area(meter.painted)), 100.0 * double(area(meter.painted)) / double(whole));

    meter.painted = QRegion();
    ribbon->Refresh();
    settle();
    std::printf("full Refresh: %lld px (%.1f%%)\n", static_cast<long long>(area(meter.painted)),
                100.0 * double(area(meter.painted)) / double(whole));

    // Painting cost: the hover rectangles against the whole ribbon.
    moveMouse(ribbon, first);
    settle();
    print("paint of a hover change (two buttons)",
          timeRuns(std::max(10, runs / 10), [&] { ribbon->repaint(expected); }));
    print("paint of the whole ribbon", timeRuns(std::max(10, runs / 10), [&] { ribbon->repaint(); }));
    return 0;
}
