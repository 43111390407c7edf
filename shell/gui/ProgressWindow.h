#pragma once
// The progress window: a small window over the screen with the text of the
// work going on, and a bar that is a busy indicator until the work says how
// far it is (item n of N). It takes no input; the shell keeps the event loop
// turning while it is open, so that it repaints and its indicator moves.
#include <QDialog>

class QLabel;
class QProgressBar;

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shows text, centred over the widget over (or the parent) when it opens;
    // a window that opens starts as a busy indicator.
    void ShowText(const QString& text, QWidget* over);
    // Shows that the work is at item done of total, as countText says.
    void ShowCount(int done, int total, const QString& countText);
    QString Text() const;
    QString CountText() const;
    QProgressBar* Bar() const { return bar_; }

private:
    QLabel* label_;
    QLabel* count_;
    QProgressBar* bar_;
};
