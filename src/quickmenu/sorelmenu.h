#pragma once
// The quick menu: a small always-on-top window that opens where the tray icon was
// right-clicked and offers the program's functions as a column of items. The item
// under the mouse, or the one the keyboard reached, is lit; most items close the
// menu after acting (the clipboard watch and " Eject CD" keep it open).
//
// Keys: Up/Down move the light from item to item (wrapping), Tab and Shift+Tab do
// the same, Enter or Space acts on the lit item, Escape closes the menu.

#include <QAbstractButton>
#include <QColor>
#include <QLabel>
#include <QList>
#include <QWidget>

class QCheckBox;

namespace sonorel::app {
struct Program;
struct Services;
class Reader;
class Windows;
enum class WindowId;
} // namespace sonorel::app

namespace sonorel::quickmenu {

// Where the menu of `size` goes for an anchor (screen pixels): its bottom-right
// corner at the anchor; on an axis where that would put it at or past the
// screen's left or top edge, its top-left corner there instead.
QPoint menuPlace(QPoint anchor, QSize size);

// The four colours of the items (written in RGB here).
inline const QColor kNormalBack{0xE0, 0xE0, 0xE0};
inline const QColor kNormalText{0x00, 0x00, 0x00};
inline const QColor kLitBack{0x80, 0x80, 0xFF}; // a light blue
inline const QColor kLitText{0xFF, 0xFF, 0xFF};

// One item: a caption drawn as it stands (its leading space kept) on the normal
// or the lit colours. A button, so screen readers announce it as something to
// press.
class MenuItem final : public QAbstractButton {
    Q_OBJECT
public:
    MenuItem(const QString& caption, QWidget* parent);
    void setLit(bool lit);
    bool isLit() const { return m_lit; }
    QSize sizeHint() const override;

signals:
    void hovered();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

private:
    bool m_lit = false;
};

// A picture beside an item (or the close box, or a voice language): a press on
// it does what its item does, unless it has no action.
class MenuPicture final : public QLabel {
    Q_OBJECT
public:
    explicit MenuPicture(QWidget* parent);

signals:
    void clicked();
    void hovered();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
};

class sorelMenu final : public QWidget {
    Q_OBJECT
public:
    sorelMenu(app::Services& services, app::Program& program, app::Reader& reader,
              app::Windows& windows, QWidget* parent = nullptr);

    // The items, by their numbers.
    MenuItem *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9,
        *Label10, *Label11, *Label12, *Label13, *Label14, *Label15;
    QCheckBox* Check1;
    MenuPicture* Image0; // the close box
    // The pictures beside the items, by the item's number (none for 11, 14, 15).
    MenuPicture* Picture(int number) const { return m_pictures.value(number); }
    // The voice-language pictures, each a way to " Get more voices".
    QList<MenuPicture*> Image1;

    void Label1_Click();  // " Exit all"
    void Label2_Click();  // " About"
    void Label3_Click();  // " Help"
    void Label4_Click();  // " Update"
    void Label5_Click();  // " Sound time"
    void Label6_Click();  // "Close CD"
    void Label7_Click();  // " Eject CD"
    void Label8_Click();  // the maker's home page
    void Label9_Click();  // " Get more voices"
    void Label10_Click(); // " Convert wav to mp3"
    void Label11_Click(); // "Speak" / "Pause"
    void Label12_Click(); // " Text files to sound files"
    void Label13_Click(); // " Slide read aloud words"
    void Label14_Click(); // "Stop"
    void Label15_Click(); // " Watch clipboard"
    void Check1_Click();
    void Image0_Click();

    // The lit item (none: nullptr) and whether the close box has its border.
    MenuItem* litItem() const;
    bool closeBoxFramed() const;

    // The items in the order of the keys (top to bottom on screen).
    QList<QWidget*> keyOrder() const { return m_keyOrder; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    MenuItem* addItem(int number, const QString& caption, const QString& tip,
                      void (sorelMenu::*click)());
    MenuPicture* addPicture(int number, MenuItem* item, const QString& tip);
    void buildLayout();
    void placeAtAnchor();
    void resetLight();
    void light(MenuItem* item);
    void moveLight(int step);
    void showWindow(app::WindowId id);
    void openPage(const QString& address);
    void unloadMenu();

    app::Services& m_services;
    app::Program& m_program;
    app::Reader& m_reader;
    app::Windows& m_windows;
    QList<MenuItem*> m_items;
    QHash<int, MenuPicture*> m_pictures;
    QList<QWidget*> m_keyOrder;
};

} // namespace sonorel::quickmenu
