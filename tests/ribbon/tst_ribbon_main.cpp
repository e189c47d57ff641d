// Runs every group of ribbon tests; the exit code counts the failures of all groups.
#include <QApplication>

int runRibbonModelTests(int argc, char **argv);
int runRibbonLayoutTests(int argc, char **argv);
int runRibbonThemeTests(int argc, char **argv);
int runRibbonInteractionTests(int argc, char **argv);
int runRibbonWidgetTests(int argc, char **argv);

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    failures += runRibbonModelTests(argc, argv);
    failures += runRibbonLayoutTests(argc, argv);
    failures += runRibbonThemeTests(argc, argv);
    failures += runRibbonInteractionTests(argc, argv);
    failures += runRibbonWidgetTests(argc, argv);
    return failures;
}
