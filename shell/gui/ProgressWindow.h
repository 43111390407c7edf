#pragma once
// The progress window: a small window over the screen with the text of the
// work going on and a busy indicator. Remote calls run on the user-interface
// thread, so the window is painted at once when it opens or its text changes.
#include <QDialog>

class QLabel;
class QProgressBar;

class ProgressWindow : public QDialog {
    Q_OBJECT
public:
    explicit ProgressWindow(QWidget* parent = nullptr);

    // Shows text, centred over the widget over (or the parent) when it opens.
    void ShowText(const QString& text, QWidget* over);
    QString Text() const;
    QProgressBar* Bar() const { return bar_; }

private:
    QLabel* label_;
    QProgressBar* bar_;
};
