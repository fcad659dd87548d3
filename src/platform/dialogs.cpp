#include "platform/dialogs.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

namespace sonorel::platform {

namespace {

struct ButtonSet {
    QList<QMessageBox::StandardButton> buttons;
    QMessageBox::StandardButton escape; // NoButton: the box cannot be dismissed
};

ButtonSet buttonSet(MessageButtons buttons) {
    using B = QMessageBox;
    switch (buttons) {
    case MessageButtons::Ok:
        return {{B::Ok}, B::Ok};
    case MessageButtons::OkCancel:
        return {{B::Ok, B::Cancel}, B::Cancel};
    case MessageButtons::YesNo:
        return {{B::Yes, B::No}, B::NoButton};
    case MessageButtons::YesNoCancel:
        return {{B::Yes, B::No, B::Cancel}, B::Cancel};
    case MessageButtons::RetryCancel:
        return {{B::Retry, B::Cancel}, B::Cancel};
    case MessageButtons::AbortRetryIgnore:
        return {{B::Abort, B::Retry, B::Ignore}, B::NoButton};
    }
    return {{B::Ok}, B::Ok};
}

QMessageBox::Icon qtIcon(MessageIcon icon) {
    switch (icon) {
    case MessageIcon::Critical:
        return QMessageBox::Critical;
    case MessageIcon::Question:
        return QMessageBox::Question;
    case MessageIcon::Exclamation:
        return QMessageBox::Warning;
    case MessageIcon::Information:
        return QMessageBox::Information;
    case MessageIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

MessageAnswer answerOf(QMessageBox::StandardButton button) {
    switch (button) {
    case QMessageBox::Yes:
        return MessageAnswer::Yes;
    case QMessageBox::No:
        return MessageAnswer::No;
    case QMessageBox::Cancel:
        return MessageAnswer::Cancel;
    case QMessageBox::Retry:
        return MessageAnswer::Retry;
    case QMessageBox::Abort:
        return MessageAnswer::Abort;
    case QMessageBox::Ignore:
        return MessageAnswer::Ignore;
    default:
        return MessageAnswer::Ok;
    }
}

std::optional<FileChoice> runFileDialog(const FileDialogSpec& request, QWidget* owner,
                                        QFileDialog::AcceptMode mode) {
    QFileDialog dialog(owner, request.title, request.initialFolder);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    // The callers ask their own overwrite question, with their own wording.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    QStringList nameFilters;
    for (const FileFilter& f : request.filters)
        nameFilters << qtNameFilter(f);
    dialog.setNameFilters(nameFilters);
    if (request.filterIndex >= 1 && request.filterIndex <= nameFilters.size())
        dialog.selectNameFilter(nameFilters[request.filterIndex - 1]);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    FileChoice choice;
    choice.path = dialog.selectedFiles().constFirst();
    choice.filterIndex = static_cast<int>(nameFilters.indexOf(dialog.selectedNameFilter())) + 1;
    if (choice.filterIndex < 1)
        choice.filterIndex = 1;
    return choice;
}

} // namespace

MessageAnswer defaultAnswer(const MessageSpec& request) {
    static const QList<QList<MessageAnswer>> sets = {
        {MessageAnswer::Ok},
        {MessageAnswer::Ok, MessageAnswer::Cancel},
        {MessageAnswer::Yes, MessageAnswer::No},
        {MessageAnswer::Yes, MessageAnswer::No, MessageAnswer::Cancel},
        {MessageAnswer::Retry, MessageAnswer::Cancel},
        {MessageAnswer::Abort, MessageAnswer::Retry, MessageAnswer::Ignore},
    };
    const auto& set = sets[static_cast<int>(request.buttons)];
    return set[std::clamp(request.defaultButton, 1, int(set.size())) - 1];
}

QString qtNameFilter(const FileFilter& filter) {
    const QString patterns = QString(filter.pattern).replace(';', ' ');
    if (filter.description.endsWith('(' + patterns + ')'))
        return filter.description;
    return filter.description + " (" + patterns + ')';
}

MessageAnswer QtDialogs::message(const MessageSpec& request, QWidget* owner) {
    QMessageBox box(owner);
    box.setWindowTitle(request.title);
    box.setText(request.text);
    box.setIcon(qtIcon(request.icon));
    const ButtonSet set = buttonSet(request.buttons);
    for (QMessageBox::StandardButton b : set.buttons)
        box.addButton(b);
    const int defaultIndex = std::clamp(request.defaultButton, 1, int(set.buttons.size())) - 1;
    box.setDefaultButton(set.buttons[defaultIndex]);
    if (set.escape != QMessageBox::NoButton)
        box.setEscapeButton(set.escape);
    box.exec();
    QAbstractButton* clicked = box.clickedButton();
    if (!clicked)
        return answerOf(set.escape != QMessageBox::NoButton ? set.escape : set.buttons.last());
    return answerOf(box.standardButton(clicked));
}

void QtDialogs::notify(const MessageSpec& request, QWidget* owner) {
    if (m_notice && m_notice->parentWidget() != owner) {
        m_notice->close(); // deleted later
        m_notice = nullptr;
    }
    if (!m_notice) {
        m_notice = new QMessageBox(owner);
        m_notice->setAttribute(Qt::WA_DeleteOnClose);
        m_notice->setWindowModality(Qt::NonModal);
        m_notice->setStandardButtons(QMessageBox::Ok);
        m_notice->setEscapeButton(QMessageBox::Ok);
    }
    m_notice->setWindowTitle(request.title);
    m_notice->setText(request.text);
    m_notice->setIcon(qtIcon(request.icon));
    m_notice->show();
    m_notice->raise();
}

std::optional<FileChoice> QtDialogs::openFile(const FileDialogSpec& request, QWidget* owner) {
    return runFileDialog(request, owner, QFileDialog::AcceptOpen);
}

std::optional<FileChoice> QtDialogs::saveFile(const FileDialogSpec& request, QWidget* owner) {
    return runFileDialog(request, owner, QFileDialog::AcceptSave);
}

std::optional<FontChoice> QtDialogs::chooseFont(const FontChoice& initial, QWidget* owner) {
    // The font dialog of the desktop has no text colour; put one beside it.
    QDialog dialog(owner);
    dialog.setWindowTitle(QObject::tr("Font"));
    auto* fonts = new QFontDialog(initial.font, &dialog);
    fonts->setWindowFlags(Qt::Widget);
    fonts->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    QColor color = initial.color.isValid() ? initial.color : QColor(Qt::black);
    auto* colorButton = new QPushButton(QObject::tr("&Colour..."), &dialog);
    const auto showColor = [&] {
        colorButton->setStyleSheet(
            QStringLiteral("QPushButton { border-left: 14px solid %1; }").arg(color.name()));
    };
    showColor();
    QObject::connect(colorButton, &QPushButton::clicked, &dialog, [&] {
        const QColor picked = QColorDialog::getColor(color, &dialog);
        if (picked.isValid()) {
            color = picked;
            showColor();
        }
    });
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->addButton(colorButton, QDialogButtonBox::ActionRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(fonts);
    layout->addWidget(buttons);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return FontChoice{fonts->currentFont(), color};
}

std::optional<QColor> QtDialogs::chooseColor(const std::optional<QColor>& initial, QWidget* owner) {
    const QColor picked = QColorDialog::getColor(initial.value_or(QColor(Qt::white)), owner);
    if (!picked.isValid())
        return std::nullopt;
    return picked;
}

std::optional<QString> QtDialogs::chooseFolder(const QString& title, const QString& initialFolder,
                                               QWidget* owner) {
    const QString folder = QFileDialog::getExistingDirectory(owner, title, initialFolder);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

} // namespace sonorel::platform
