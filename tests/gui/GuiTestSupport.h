#pragma once
// What the GUI tests share: one QApplication for the whole program (on the
// offscreen platform unless told otherwise), synthetic mouse events with
// global positions, and a helper that acts on modal windows as they open.
#include <QPoint>
#include <QString>

#include <functional>
#include <string>

class QTimer;
class QWidget;

namespace GuiTest {

// Creates the application on first use, with the Fusion style.
void EnsureApp();

// Sends one mouse event to Widget at Pos (widget coordinates).
void Mouse(QWidget* Widget, int Type, QPoint Pos, Qt::MouseButton Button = Qt::LeftButton,
           Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
void Click(QWidget* Widget, QPoint Pos, Qt::KeyboardModifiers Modifiers = Qt::NoModifier);
void DoubleClick(QWidget* Widget, QPoint Pos);

// Types Text into Widget one character at a time, as key events carrying
// the character (QTest's key clicks take ASCII only).
void Type(QWidget* Widget, const QString& Text);

// Runs pending posted events, deferred deletions included.
void Settle();

// Acts on each modal window that opens while it lives: Act gets the window
// and must close it (or the test waits for ever).
class ModalDriver {
public:
    explicit ModalDriver(std::function<void(QWidget*)> Act);
    ~ModalDriver();
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;
    int Count() const { return count_; }
    // Windows the act left open, which the driver closed.
    int Unclosed() const { return unclosed_; }

private:
    std::function<void(QWidget*)> act_;
    QTimer* timer_;
    int count_ = 0;
    int unclosed_ = 0;
};

// UTF-8 source text as the run-time's Windows-1252.
std::string Cp(const char* utf8);

} // namespace GuiTest
