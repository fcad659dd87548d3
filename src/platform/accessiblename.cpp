#include "platform/accessiblename.h"

#include <QLabel>
#include <QWidget>

namespace sonorel::platform {

QString spokenCaption(const QString& text) {
    QString spoken;
    spoken.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '&') {
            if (i + 1 < text.size() && text[i + 1] == '&')
                spoken += text[++i];
            continue;
        }
        spoken += text[i];
    }
    return spoken.trimmed();
}

void nameAs(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    if (!description.isEmpty())
        control->setAccessibleDescription(description);
}

void nameAfter(QWidget* control, QLabel* caption, const QString& description) {
    caption->setBuddy(control);
    QString name = spokenCaption(caption->text());
    if (name.endsWith(':'))
        name.chop(1);
    nameAs(control, name, description);
}

} // namespace sonorel::platform
