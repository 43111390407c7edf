#include "shell/gui/QuestionBox.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QPushButton>

#include <algorithm>

QuestionBox::QuestionBox(const QString& title, const QString& text, const std::vector<QString>& choices,
                         QWidget* parent)
    : QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, parent)
{
    // One role for every button: the button box then keeps the order they
    // were added in, where it would order buttons of different roles by the
    // platform's rules.
    for (const QString& choice : choices) {
        choices_.push_back(addButton(choice, QMessageBox::ActionRole));
    }
    if (!choices_.empty()) {
        setDefaultButton(choices_.front());
    }
}

int QuestionBox::Ask()
{
    exec();
    auto at = std::find(choices_.begin(), choices_.end(), clickedButton());
    return at != choices_.end() ? static_cast<int>(at - choices_.begin()) : -1;
}

void QuestionBox::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Cancel)) {
        reject();
        return;
    }
    QMessageBox::keyPressEvent(event);
}

void QuestionBox::closeEvent(QCloseEvent* event)
{
    // Past the message box's own handling, which keeps the box open when no
    // button stands for Escape.
    QDialog::closeEvent(event);
}
