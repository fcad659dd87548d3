// The real Qt dialogs, driven offscreen: each test inspects the modal dialog that
// opens and answers it like a user would.

#include "platform/dialogs.h"
#include "support/tempdir.h"

#include <functional>
#include <gtest/gtest.h>
#include <QApplication>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

using namespace sonorel::platform;

namespace {
// Runs `inspect` on the modal dialog of type T as soon as it is shown.
template <class T> void whenShown(std::function<void(T*)> inspect) {
    auto* poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, [poll, inspect] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            poll->stop();
            poll->deleteLater();
            inspect(dialog);
        }
    });
    poll->start(5);
}
} // namespace

TEST(QtDialogs, OverwriteQuestionHasYesNoWithNoAsDefault) {
    QtDialogs dialogs;
    bool inspected = false;
    whenShown<QMessageBox>([&](QMessageBox* box) {
        inspected = true;
        EXPECT_EQ(box->windowTitle(), "Message");
        EXPECT_EQ(box->text(), "/tmp/a.mp3 is already exist,do you want to overwrite it ?");
        EXPECT_EQ(box->icon(), QMessageBox::Question);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Yes | QMessageBox::No);
        ASSERT_NE(box->defaultButton(), nullptr);
        EXPECT_EQ(box->standardButton(box->defaultButton()), QMessageBox::No);
        box->defaultButton()->click();
    });
    const MessageAnswer answer =
        dialogs.message({"/tmp/a.mp3 is already exist,do you want to overwrite it ?", "Message",
                         MessageButtons::YesNo, MessageIcon::Question, 2});
    EXPECT_TRUE(inspected);
    EXPECT_EQ(answer, MessageAnswer::No);
}

TEST(QtDialogs, MessageReportsTheButtonPressed) {
    QtDialogs dialogs;
    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->windowTitle(), "Sonorel");
        EXPECT_EQ(box->icon(), QMessageBox::Critical);
        box->button(QMessageBox::Yes)->click();
    });
    EXPECT_EQ(dialogs.message({"Can not find appropriate speech engine!", "Sonorel",
                               MessageButtons::YesNo, MessageIcon::Critical, 1}),
              MessageAnswer::Yes);

    whenShown<QMessageBox>([](QMessageBox* box) {
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->reject(); // Escape on a plain notice counts as OK
    });
    EXPECT_EQ(dialogs.message({"Bell file is not exists"}), MessageAnswer::Ok);
}

namespace {
QList<QMessageBox*> visibleBoxes() {
    QList<QMessageBox*> boxes;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (auto* box = qobject_cast<QMessageBox*>(w); box && box->isVisible())
            boxes << box;
    return boxes;
}
} // namespace

// A notice shows and returns: nothing waits for its OK, not even a modal loop
// (a modal box would meet the queued check, which closes it and counts it).
TEST(QtDialogs, NoticeShowsWithoutWaitingAndReplacesAnOpenOne) {
    QtDialogs dialogs;
    QWidget owner; // hidden, like the reader in the notification area
    int modal = 0;
    const auto closeModal = [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            ++modal;
            box->close();
        }
    };
    QTimer::singleShot(0, &owner, closeModal);
    dialogs.notify({"/tmp/pipe is not a regular file.", "Sonorel", MessageButtons::YesNo,
                    MessageIcon::Exclamation},
                   &owner);
    QApplication::processEvents();
    EXPECT_EQ(modal, 0);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    QList<QMessageBox*> boxes = visibleBoxes();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->windowTitle(), "Sonorel");
    EXPECT_EQ(boxes[0]->text(), "/tmp/pipe is not a regular file.");
    EXPECT_EQ(boxes[0]->icon(), QMessageBox::Warning);
    EXPECT_EQ(boxes[0]->standardButtons(), QMessageBox::Ok);

    dialogs.notify({"/dev/zero is not a regular file."}, &owner);
    boxes = visibleBoxes();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), "/dev/zero is not a regular file.");

    const QPointer<QMessageBox> first = boxes[0];
    boxes[0]->button(QMessageBox::Ok)->click();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull());
    EXPECT_TRUE(visibleBoxes().isEmpty());
    QTimer::singleShot(0, &owner, closeModal);
    dialogs.notify({"again"}, &owner);
    QApplication::processEvents();
    EXPECT_EQ(modal, 0);
    boxes = visibleBoxes();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_EQ(boxes[0]->text(), "again");
}

class QtFileDialogs : public sonorel::test::TempDirTest {};

TEST_F(QtFileDialogs, SaveDialogShowsTheFiltersAndReportsTheChosenOne) {
    QtDialogs dialogs;
    const QList<FileFilter> filters = {{"Rich Text File(*.rtf)", "*.rtf"},
                                       {"Text File(*.txt)", "*.txt"},
                                       {"MP3 File (*.mp3)", "*.mp3"},
                                       {"WAV File (*.wav)", "*.wav"}};
    whenShown<QFileDialog>([&](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Save as");
        EXPECT_EQ(d->nameFilters(), (QStringList{"Rich Text File(*.rtf)", "Text File(*.txt)",
                                                 "MP3 File (*.mp3)", "WAV File (*.wav)"}));
        EXPECT_EQ(d->selectedNameFilter(), "MP3 File (*.mp3)");
        EXPECT_EQ(QDir(d->directory()).canonicalPath(), QDir(path()).canonicalPath());
        d->selectNameFilter("WAV File (*.wav)");
        d->selectFile(path("speech.wav"));
        QMetaObject::invokeMethod(d, "accept");
    });
    const auto choice = dialogs.saveFile({"Save as", filters, 3, path(), {}}, nullptr);
    ASSERT_TRUE(choice.has_value());
    EXPECT_EQ(choice->path, path("speech.wav"));
    EXPECT_EQ(choice->filterIndex, 4);
}

TEST_F(QtFileDialogs, CancelledOpenDialogGivesNothing) {
    QtDialogs dialogs;
    whenShown<QFileDialog>([](QFileDialog* d) {
        EXPECT_EQ(d->windowTitle(), "Select A File");
        EXPECT_EQ(d->fileMode(), QFileDialog::ExistingFile);
        d->reject();
    });
    EXPECT_FALSE(
        dialogs.openFile({"Select A File", {{"Text (*.txt)", "*.txt"}}, 1, path(), {}}, nullptr));
}

TEST(QtDialogs, NameFilterAddsThePatternOnlyWhenMissing) {
    EXPECT_EQ(qtNameFilter({"Text (*.txt)", "*.txt"}), "Text (*.txt)");
    EXPECT_EQ(qtNameFilter({"Word lists", "*.txt;*.lst"}), "Word lists (*.txt *.lst)");
}
