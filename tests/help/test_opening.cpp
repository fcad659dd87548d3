// The reader opens the help window: its first-run timer and its Help button,
// through the window list the reader registers.

#include "../app/readerfixture.h"
#include "help/howto.h"

#include <gtest/gtest.h>
#include <QPushButton>

namespace sonorel::test {
namespace {

TEST_F(ReaderTest, TheFirstRunAndTheHelpButtonOpenTheHelpWindow) {
    ASSERT_TRUE(start());
    ASSERT_EQ(w->firstuse->interval(), 3000);
    EXPECT_FALSE(windows.isOpen(app::WindowId::HowTo));
    emit w->firstuse->timeout(); // the three seconds have passed
    EXPECT_EQ(w->firstuse->interval(), 0);
    ASSERT_TRUE(windows.isOpen(app::WindowId::HowTo));
    auto* help = qobject_cast<help::howto*>(windows.find(app::WindowId::HowTo));
    ASSERT_NE(help, nullptr);
    EXPECT_EQ(help->windowTitle(), "How does this application work?   - Sonorel");
    EXPECT_FALSE(help->isModal());

    help->Command1->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(windows.isOpen(app::WindowId::HowTo));
    w->Command8->click(); // &Help
    EXPECT_TRUE(windows.isOpen(app::WindowId::HowTo));
}

} // namespace
} // namespace sonorel::test
