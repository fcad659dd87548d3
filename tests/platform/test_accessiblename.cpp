// Naming controls for assistive technology after their caption labels.

#include "platform/accessiblename.h"

#include <gtest/gtest.h>
#include <QAccessible>
#include <QLabel>
#include <QSlider>
#include <QWidget>

using namespace sonorel;

TEST(AccessibleName, ACaptionNamesItsControlAndLeadsToIt) {
    QWidget window;
    auto* caption = new QLabel("&Volume:", &window);
    auto* bar = new QSlider(Qt::Vertical, &window);
    bar->setToolTip("Change speak volume");
    platform::nameAfter(bar, caption);
    EXPECT_EQ(caption->buddy(), bar);
    QAccessibleInterface* told = QAccessible::queryAccessibleInterface(bar);
    ASSERT_NE(told, nullptr);
    EXPECT_EQ(told->text(QAccessible::Name), "Volume");
    // Without a description of its own the tool tip is told, as it changes.
    EXPECT_EQ(told->text(QAccessible::Description), "Change speak volume");
    bar->setToolTip("Louder or softer");
    EXPECT_EQ(told->text(QAccessible::Description), "Louder or softer");

    auto* pitch = new QSlider(Qt::Vertical, &window);
    platform::nameAfter(pitch, new QLabel("Pitch", &window), "Only some voices change it");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(pitch)->text(QAccessible::Name), "Pitch");
    EXPECT_EQ(QAccessible::queryAccessibleInterface(pitch)->text(QAccessible::Description),
              "Only some voices change it");
}

TEST(AccessibleName, CaptionsAreReadWithoutTheirMnemonicMark) {
    EXPECT_EQ(platform::spokenCaption("S&peak"), "Speak");
    EXPECT_EQ(platform::spokenCaption("Salt && &Pepper"), "Salt & Pepper");
    EXPECT_EQ(platform::spokenCaption("Rock&&&Roll&"), "Rock&Roll");
    EXPECT_EQ(platform::spokenCaption(" REC rate: "), "REC rate:");
    EXPECT_EQ(platform::spokenCaption(""), "");
}
