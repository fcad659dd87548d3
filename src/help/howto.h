#pragma once
// The help window: how to have the reader read from LibreOffice Writer, the
// file manager and the clipboard; links to the help pages; and the actions
// that install the word-processor buttons. Not modal; keeps no state between
// openings. Dragged by its body and texts; a double click closes it.

#include "app/services.h"

#include <QPointer>
#include <QWidget>

class QLabel;
class QPushButton;

namespace sonorel::help {

class WriterInstall;

inline const QString kHowToCaption = QStringLiteral("How does this application work?   - Sonorel");
inline const QString kLocalHelpPage = QStringLiteral("FAQ.htm");

class howto final : public QWidget {
    Q_OBJECT
public:
    explicit howto(app::Services& services, QWidget* parent = nullptr);

    void Label3_Click();   // add the speaker to LibreOffice Writer (also Image2)
    void Label9_Click();   // add the macros to WordPerfect (also Image7)
    void Label2_Click();   // the local help page
    void Label8_Click();   // the help page on the maker's site
    void Command1_Click(); // &Close

    // True while an install started here runs (its link is disabled meanwhile).
    bool writerInstallRunning() const { return !m_writerInstall.isNull(); }

    QLabel *Label1 = nullptr, *Label4 = nullptr, *Label5 = nullptr, *Label6 = nullptr;
    QLabel *Image1 = nullptr, *Image2 = nullptr, *Image7 = nullptr;
    QPushButton *Label3 = nullptr, *Label9 = nullptr, *Label2 = nullptr, *Label8 = nullptr;
    QPushButton* Command1 = nullptr;

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void openHelpPage(const QString& address);

    app::Services& m_services;
    QPointer<WriterInstall> m_writerInstall;
};

} // namespace sonorel::help
