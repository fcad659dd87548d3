#include "readerfixture.h"

#include <QComboBox>
#include <QDir>

namespace sonorel::test {

int ReaderTest::listIndexOf(const QString& text) const {
    return w->Combo1->findText(text, Qt::MatchExactly);
}

void ReaderTest::pick(const QString& entry) {
    w->Command7_Click();
    w->Combo1->hidePopup();
    w->Combo1->setCurrentIndex(listIndexOf(entry));
    w->Combo1_Click();
}

RealWindow::RealWindow() {
    QDir(dir.path()).mkdir("tmp");
    loaded = w.Form_Load({});
}

void RealWindow::pick(const QString& entry) {
    w.Command7_Click();
    w.Combo1->hidePopup();
    w.Combo1->setCurrentIndex(w.Combo1->findText(entry, Qt::MatchExactly));
    w.Combo1_Click();
}

} // namespace sonorel::test
