#pragma once
// A question to the operator: a message box with one button a choice, in
// the order given, the first the default. Escape and the close box end it
// without a choice, whichever buttons it has (a message box alone would
// ignore both unless one of its buttons stood for them).
#include <QMessageBox>

#include <vector>

class QPushButton;

class QuestionBox : public QMessageBox {
public:
    QuestionBox(const QString& title, const QString& text, const std::vector<QString>& choices,
                QWidget* parent = nullptr);

    // Shows the question and waits: the 0-based choice made, or -1 when it
    // was closed without one.
    int Ask();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    std::vector<QPushButton*> choices_;
};
