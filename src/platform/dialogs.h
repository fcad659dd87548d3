#pragma once
// Message boxes and the common dialogs, behind one service so that windows can be
// tested with scripted answers. Every call runs on the UI thread and is modal, but
// notify, which shows a message and returns at once.

#include <optional>
#include <QColor>
#include <QFont>
#include <QList>
#include <QPointer>
#include <QString>

class QMessageBox;
class QWidget;

namespace sonorel::platform {

enum class MessageButtons { Ok, OkCancel, YesNo, YesNoCancel, RetryCancel, AbortRetryIgnore };
enum class MessageIcon { None, Critical, Question, Exclamation, Information };
enum class MessageAnswer { Ok, Cancel, Yes, No, Retry, Abort, Ignore };

struct MessageSpec {
    QString text;
    QString title = QStringLiteral("Sonorel");
    MessageButtons buttons = MessageButtons::Ok;
    MessageIcon icon = MessageIcon::None;
    int defaultButton = 1; // 1 = first button of the set, 2 = second, 3 = third
};

struct FileFilter {
    QString description; // shown as it stands, e.g. "Text (*.txt)"
    QString pattern;     // "*.txt"; several patterns separated by ";"
};

struct FileDialogSpec {
    QString title;
    QList<FileFilter> filters;
    int filterIndex = 1; // 1-based, as stored in the settings
    QString initialFolder;
    QString fileName; // proposed name, may be empty
};

struct FileChoice {
    QString path;
    int filterIndex = 1; // 1-based index of the filter the user left selected
};

struct FontChoice {
    QFont font;
    QColor color;
};

// The answer a message box gives when its default button is pressed.
MessageAnswer defaultAnswer(const MessageSpec& request);

class Dialogs {
public:
    virtual ~Dialogs() = default;

    virtual MessageAnswer message(const MessageSpec& request, QWidget* owner = nullptr) = 0;
    // A message that nothing waits for, for callers that must go on serving others
    // (the command link): shown with an OK button (request.buttons is not used) and
    // returned from at once. A notice still open is replaced.
    virtual void notify(const MessageSpec& request, QWidget* owner = nullptr) = 0;
    // Nothing when the user cancels. Saving never asks about overwriting: the
    // callers ask their own question.
    virtual std::optional<FileChoice> openFile(const FileDialogSpec& request, QWidget* owner) = 0;
    virtual std::optional<FileChoice> saveFile(const FileDialogSpec& request, QWidget* owner) = 0;
    virtual std::optional<FontChoice> chooseFont(const FontChoice& initial, QWidget* owner) = 0;
    virtual std::optional<QColor> chooseColor(const std::optional<QColor>& initial,
                                              QWidget* owner) = 0;
    virtual std::optional<QString> chooseFolder(const QString& title, const QString& initialFolder,
                                                QWidget* owner) = 0;
};

class QtDialogs final : public Dialogs {
public:
    MessageAnswer message(const MessageSpec& request, QWidget* owner = nullptr) override;
    void notify(const MessageSpec& request, QWidget* owner = nullptr) override;
    std::optional<FileChoice> openFile(const FileDialogSpec& request, QWidget* owner) override;
    std::optional<FileChoice> saveFile(const FileDialogSpec& request, QWidget* owner) override;
    std::optional<FontChoice> chooseFont(const FontChoice& initial, QWidget* owner) override;
    std::optional<QColor> chooseColor(const std::optional<QColor>& initial,
                                      QWidget* owner) override;
    std::optional<QString> chooseFolder(const QString& title, const QString& initialFolder,
                                        QWidget* owner) override;

private:
    QPointer<QMessageBox> m_notice; // deleted when closed
};

// The Qt name filter for one filter pair: the description itself when it already
// ends in "(pattern)", else description + " (" + pattern + ")".
QString qtNameFilter(const FileFilter& filter);

} // namespace sonorel::platform
