#pragma once

#include "components/BackdropWidget.h"

#include <QString>

class QLabel;
class QFrame;

namespace App {

// The About window: the product's name and version, a few lines about its makers, and
// a logo. A click on the logo or the text opens the web address in the user's browser.
class frmAbout : public Components::BackdropWidget
{
    Q_OBJECT

public:
    static const QString WebAddress;

    explicit frmAbout(QWidget *parent = nullptr);

    // The seven lines, joined by CR LF, for a version major.minor.revision.
    // `release`: the date of the FDA release the database holds ("Nov 8, 2024"), or
    // empty when the database does not say.
    // The release date the database holds; empty when it holds none (or none is open).
    static QString releaseOfTheData();
    // The older release the database lists the changes since; empty when it lists none.
    static QString comparedRelease();
    // `databaseFile`: the file the data is read from, named in a last line when given.
    // `comparedWith`: the older release whose changes the database lists, named after it.
    static QString composeAboutText(int major, int minor, int revision, const QString &release = QString(),
                                    const QString &databaseFile = QString(), const QString &comparedWith = QString());
    // The 350 by 285 logo.
    static QPixmap drawLogo();

    // Asks the desktop to open an address or document; false when nothing could open it.
    static bool StartDoc(const QString &DocName);

    QFrame *picAbout = nullptr;
    QLabel *imgLogo = nullptr;
    QLabel *lblAbout = nullptr;

protected:
    void resizeEvent(QResizeEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
};

} // namespace App
