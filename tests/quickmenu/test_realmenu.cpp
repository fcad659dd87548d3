// The quick menu and the about window as the reader's own window list makes them:
// the menu's items drive the real main window, and " Exit all" ends the program
// the orderly way, unloading the menu itself.

#include "../app/readerfixture.h"

#include "about/aboutsonorel.h"
#include "link/clipboardwatch.h"
#include "quickmenu/sorelmenu.h"

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>

using namespace sonorel;
using namespace sonorel::test;
using quickmenu::sorelMenu;

namespace {

sorelMenu* openMenu(app::Windows& windows) {
    windows.show(app::WindowId::QuickMenu);
    return qobject_cast<sorelMenu*>(windows.find(app::WindowId::QuickMenu));
}

TEST_F(ReaderTest, MenuFollowsTheReadersStateAndDrivesIt) {
    audio = platform::speech::AudioMode::Silent;
    ASSERT_TRUE(start());
    w->RichTextBox1->setPlainText("one two three four five six seven eight nine ten");
    sorelMenu* m = openMenu(windows);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->Label11->text(), "Speak");
    m->Label11->click(); // Speak
    EXPECT_EQ(w->PlayStatus, reading::Speaking);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(windows.isOpen(app::WindowId::QuickMenu));

    m = openMenu(windows);
    EXPECT_EQ(m->Label11->text(), "Pause");
    EXPECT_EQ(m->Label11->toolTip(), "Pause speaking");
    m->Label14->click(); // Stop
    EXPECT_EQ(w->PlayStatus, reading::Idle);
}

TEST_F(ReaderTest, MenuWatchItemSwitchesTheReadersWatch) {
    ASSERT_TRUE(start());
    ASSERT_NE(w->clipboardWatch, nullptr);
    sorelMenu* m = openMenu(windows);
    if (m->Check1->isChecked())
        m->Label15->click();
    EXPECT_FALSE(program.win.WatchClipboard);
    w->clipboardWatch->ClipboardProc("copied while off");
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "");

    m->Label15->click();
    EXPECT_TRUE(program.win.WatchClipboard);
    w->clipboardWatch->ClipboardProc("copied while on");
    EXPECT_EQ(w->RichTextBox1->toPlainText(), "copied while on");
    w->Command6_Click();
}

// Help and Update are the reader's own windows too; the update window's load
// closes the menu itself, and the menu's own close after it does no harm.
TEST_F(ReaderTest, HelpAndUpdateOpenFromTheMenu) {
    ASSERT_TRUE(start());
    openMenu(windows)->Label3->click();
    EXPECT_TRUE(windows.isOpen(app::WindowId::HowTo));
    openMenu(windows)->Label4->click();
    EXPECT_TRUE(windows.isOpen(app::WindowId::Update));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(windows.isOpen(app::WindowId::QuickMenu));
    windows.unload(app::WindowId::Update);
    windows.unload(app::WindowId::HowTo);
}

TEST_F(ReaderTest, AboutOpensFromTheMenuAndExitAllUnloadsEverything) {
    ASSERT_TRUE(start());
    openMenu(windows)->Label2->click();
    auto* about = qobject_cast<about::AboutSonorel*>(windows.find(app::WindowId::About));
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(about->isVisible());

    sorelMenu* m = openMenu(windows);
    QFile::remove(path("swin.ini"));
    m->Label1->click(); // " Exit all"
    ASSERT_TRUE(spinUntil([&] { return exited; }));
    EXPECT_TRUE(program.ExitRequested);
    EXPECT_FALSE(windows.isOpen(app::WindowId::QuickMenu));
    EXPECT_FALSE(windows.isOpen(app::WindowId::About));
    EXPECT_TRUE(QFile::exists(path("swin.ini"))); // the main window's unload ran
}

} // namespace
