#include "readerfixture.h"

#include <QComboBox>

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

} // namespace sonorel::test
