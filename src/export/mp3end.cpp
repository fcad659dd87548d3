#include "export/mp3end.h"

#include "platform/accessiblename.h"
#include "platform/windowdrag.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>

namespace sonorel::exporting {

mp3end::mp3end(FinishReport report, platform::ShellOpener& shell, QWidget* parent)
    : QWidget(parent, Qt::Window), m_report(std::move(report)), m_shell(shell) {
    setWindowTitle(QStringLiteral("Sonorel"));
    setAttribute(Qt::WA_DeleteOnClose);

    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("Convert text to"), this));
    Label2 = new QLabel(m_report.targetFile, this);
    Label2->setWordWrap(true);
    Label2->setTextInteractionFlags(Qt::NoTextInteraction);
    column->addWidget(Label2);
    column->addWidget(new QLabel(QStringLiteral("Successfully!"), this));

    auto* grid = new QGridLayout;
    const auto row = [&](int r, const QString& caption, const QString& value) {
        grid->addWidget(new QLabel(caption, this), r, 0);
        auto* label = new QLabel(value, this);
        grid->addWidget(label, r, 1);
        // Read as "REC rate: 29", not a bare number.
        platform::nameAs(label, platform::spokenCaption(caption) + " " + value);
        return label;
    };
    Label6 = row(0, QStringLiteral("REC engine:"), m_report.voice);
    Label8 = row(1, QStringLiteral("REC rate:"), m_report.rate);
    Label10 = row(2, QStringLiteral("REC pitch:"), m_report.pitch);
    Label4 = row(3, QStringLiteral("Elapsed time:"), m_report.elapsed);
    grid->setColumnStretch(1, 1);
    column->addLayout(grid);

    auto* buttons = new QHBoxLayout;
    Command1 = new QPushButton(QStringLiteral("&Play"), this);
    Command2 = new QPushButton(QStringLiteral("&Close"), this);
    buttons->addStretch();
    buttons->addWidget(Command1);
    buttons->addWidget(Command2);
    column->addLayout(buttons);
    connect(Command1, &QPushButton::clicked, this, &mp3end::Command1_Click);
    connect(Command2, &QPushButton::clicked, this, &mp3end::Command2_Click);
    Command1->setToolTip(QStringLiteral("Play the saved file"));
    Command2->setToolTip(QStringLiteral("Close this window"));
    platform::nameAs(Label2, QStringLiteral("Saved file ") + m_report.targetFile);
    // Escape closes the notice, as it closes a dialog.
    auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, &mp3end::Command2_Click);

    // Labels take the presses otherwise; the drag works anywhere on the window.
    QList<QWidget*> labels;
    for (QLabel* label : findChildren<QLabel*>())
        labels << label;
    platform::dragByBody(this, labels);
    setMinimumWidth(360);
}

void mp3end::Command1_Click() {
    if (!m_shell.open(m_report.targetFile))
        qWarning().noquote() << "mp3end: no program opens" << m_report.targetFile;
}

void mp3end::Command2_Click() {
    close();
}

} // namespace sonorel::exporting
