#pragma once
// The progress window: a small window over the main window with the text of
// the work going on, and a bar that is a busy indicator until the work says
// how far it is (item n of N). It opens centred on the main window and
// always with its title bar on the screen. It takes no input, but for the
// Cancel a command may offer: its button, Escape and the close box press it,
// and the command stops before its next item; without one they do nothing. The shell keeps the event loop
// turning while it is open, so that it repaints and its indicator moves.
#include <QDialog>
#include <QPointer>

class QLabel;
class QProgressBar;
class QPushButton;

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shows text; a window that opens starts as a busy indicator with no
    // Cancel, centred on the main window of over (or of the parent).
    void ShowText(const QString& text, QWidget* over);
    // Shows that the work is at item done of total, as countText says.
    void ShowCount(int done, int total, const QString& countText);
    // Offers a Cancel until the window closes; cancelText names its button.
    void OfferCancel(const QString& cancelText);
    // Presses the Cancel offered; does nothing when none is.
    void PressCancel();
    bool CancelOffered() const { return cancelOffered_; }
    bool CancelPressed() const { return cancelPressed_; }
    QString Text() const;
    QString CountText() const;
    QProgressBar* Bar() const { return bar_; }
    QPushButton* CancelButton() const { return cancel_; }

    // Where a window whose frame is frame goes so that it lies within area,
    // moved as little as may be: its top-left corner, and so its title bar,
    // always inside.
    static QPoint Within(const QRect& frame, const QRect& area);

protected:
    // Escape in the window.
    void reject() override;
    // The close box.
    void closeEvent(QCloseEvent* event) override;

private:
    // Centres the window on anchor's window, within its screen.
    void Place(QWidget* anchor);

    QLabel* label_;
    QLabel* count_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    QPointer<QWidget> anchor_;
    bool cancelOffered_ = false;
    bool cancelPressed_ = false;
};
