#pragma once
// Keeps the operator's input from piling up behind a long command. Remote
// calls run on the user-interface thread, so whatever the operator clicks or
// types while a command runs would otherwise wait in Qt's queues and run once
// the command ends, against a screen the operator has not seen yet (a click
// on another command's button among them). While the gate is closed, input
// to every window is dropped, save input to a modal window the command itself
// opened (an error box); the event loop may then turn freely, so that windows
// repaint.
//
// Opening is deferred to the next turn of the event loop: the command that
// closed the gate may still be running, and what arrived until it returns is
// dropped too.
//
// One way out may be left open while the gate is closed: the window of a
// Cancel the command offers (its progress window) takes input, and Escape
// pressed anywhere runs that Cancel instead of reaching its window.
#include <QObject>
#include <QPointer>

#include <functional>

class QWidget;

class InputGate : public QObject {
    Q_OBJECT
public:
    explicit InputGate(QObject* parent = nullptr);
    ~InputGate() override;

    // Starts dropping input; does nothing when closed already.
    void Close();
    // Stops dropping input once the running command has returned to the
    // event loop, after dropping what arrived until then.
    void OpenLater();
    bool IsClosed() const { return closed_; }
    // Lets input to window and its children through while the gate is
    // closed, and runs escape on an Escape pressed elsewhere; a null window
    // and an empty escape close that way out again.
    void LeaveOpen(QWidget* window, std::function<void()> escape);

    // Whether the gate drops event when it is sent to receiver.
    static bool IsOperatorInput(QObject* receiver, QEvent* event);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void OpenNow();
    bool InOpenWindow(QObject* receiver) const;

    bool closed_ = false;
    bool openPending_ = false;
    QPointer<QWidget> open_;
    std::function<void()> escape_;
};
