#include "shell/gui/GuiShellUi.h"

#include "host/HostMessages.h"
#include "host/ShellRoutines.h"
#include "host/TNetConnection.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TControl.h"
#include "platform/controls/TCustomForm.h"
#include "platform/controls/TForm.h"
#include "platform/data/TDataSet.h"
#include "platform/net/SocketChannel.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/InputGate.h"
#include "shell/gui/LookupDialog.h"
#include "shell/gui/ModelWatch.h"
#include "shell/gui/ProgressWindow.h"
#include "shell/gui/QuestionBox.h"
#include "shell/gui/SearchDialog.h"
#include "shell/gui/ShellTexts.h"
#include "shell/gui/ShellWindow.h"

#include <QAccessible>
#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStatusBar>
#include <QTimer>

#include <memory>

GuiShellUi::GuiShellUi(ShellWindow* shell) : shell_(shell), gate_(new InputGate)
{
    // A long call (move-all-back's one DelTodos) keeps the progress window
    // painted and its indicator moving; Pump turns the event loop only while
    // the gate drops the operator's input.
    previousWaitHook_ = SocketChannel::SetWaitHook([this] { Pump(); });
    previousUi_ = IShellUi::SetCurrent(this);
    previousSink_ = ErrorSink::Set([this](const std::string& text) { ShowError(text); });
    // What other operators store reaches the screens while the operator is
    // idle: not while a command runs (its progress window is open) nor while
    // a dialog waits for an answer.
    updates_ = new QTimer;
    QObject::connect(updates_, &QTimer::timeout, [] {
        if (!ShowAviActive() && QApplication::activeModalWidget() == nullptr) {
            Application().Dispatch([] { TNetConnection::DeliverUpdates(); });
        }
    });
    updates_->start(kUpdatePeriodMs);
}

GuiShellUi::~GuiShellUi()
{
    ControlView::DeferSyncs(false);
    delete updates_;
    delete progress_.data();
    delete gate_;
    ErrorSink::Set(previousSink_);
    IShellUi::SetCurrent(previousUi_);
    SocketChannel::SetWaitHook(previousWaitHook_);
}

QWidget* GuiShellUi::WindowOver(TComponent* owner) const
{
    TCustomForm* form = dynamic_cast<TCustomForm*>(owner);
    if (form == nullptr) {
        if (auto* control = dynamic_cast<TControl*>(owner)) {
            form = control->GetParentForm();
        }
    }
    if (form == nullptr) {
        form = Application().ActiveForm();
    }
    if (shell_ != nullptr) {
        if (FormView* view = shell_->ViewOf(form)) {
            return view;
        }
    }
    return shell_;
}

void GuiShellUi::ShowError(const std::string& text)
{
    TCustomForm* form = Application().ActiveForm();
    if (form != nullptr && form->MovingFocus() && shell_ != nullptr) {
        // A check of what was typed, run as the focus leaves it: the focus
        // stays with the text at fault, and the message waits in the status
        // line rather than in a box the operator must close at every try.
        QString line = GuiConvert::ToQt(text);
        shell_->statusBar()->showMessage(line, kNoteMs);
        QAccessibleEvent alert(shell_->statusBar(), QAccessible::Alert);
        QAccessible::updateAccessibility(&alert);
        QApplication::beep();
        return;
    }
    QString title = ShellTexts::Text(ShellTexts::kErrorTitle);
    QMessageBox box(QMessageBox::Critical, title, GuiConvert::ToQt(text), QMessageBox::Ok, shell_);
    // The box is as wide as its text asks; its title (and the title bar's
    // buttons) ask for room too.
    if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) {
        int titleWidth =
            QFontMetrics(QApplication::font("QMdiSubWindowTitleBar")).horizontalAdvance(title) + kTitleBarButtonsWidth;
        grid->addItem(new QSpacerItem(titleWidth, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), grid->rowCount(), 0,
                      1, grid->columnCount());
    }
    box.exec();
    Reactivate();
}

void GuiShellUi::Reactivate()
{
    if (shell_ != nullptr) {
        shell_->Reactivate();
    }
}

ProgressWindow* GuiShellUi::Progress() const
{
    return progress_ != nullptr && progress_->isVisible() ? progress_.data() : nullptr;
}

void GuiShellUi::Pump()
{
    if (gate_->IsClosed()) {
        QCoreApplication::processEvents();
    }
}

void GuiShellUi::ShowProgress(TComponent* owner, int /*kind*/, const std::string& text)
{
    gate_->Close();
    ControlView::DeferSyncs(true);
    if (progress_ == nullptr) {
        progress_ = new ProgressWindow(shell_);
    }
    progress_->ShowText(GuiConvert::ToQt(text), WindowOver(owner));
    Pump();
}

void GuiShellUi::ShowProgressCount(int done, int total)
{
    if (progress_ == nullptr || !progress_->isVisible()) {
        return;
    }
    const bool firstOrLast = done <= 1 || done >= total;
    if (!firstOrLast && sinceShown_.isValid() && sinceShown_.elapsed() < frameMs_) {
        return;
    }
    progress_->ShowCount(done, total,
                         ShellTexts::Text(ShellTexts::kProgressCount, {std::to_string(done), std::to_string(total)}));
    Pump();
    sinceShown_.start();
}

void GuiShellUi::OfferProgressCancel()
{
    if (progress_ == nullptr || !progress_->isVisible()) {
        return;
    }
    progress_->OfferCancel(ShellTexts::Text(ShellTexts::kCancel));
    QPointer<ProgressWindow> window = progress_;
    gate_->LeaveOpen(progress_, [window] {
        if (window != nullptr) {
            window->PressCancel();
        }
    });
    Pump();
}

bool GuiShellUi::ProgressCancelled()
{
    return progress_ != nullptr && progress_->isVisible() && progress_->CancelPressed();
}

void GuiShellUi::HideProgress()
{
    ControlView::DeferSyncs(false);
    gate_->LeaveOpen(nullptr, {});
    if (progress_ != nullptr) {
        bool wasActive = progress_->isActiveWindow();
        progress_->hide();
        if (wasActive) {
            Reactivate();
        }
    }
    gate_->OpenLater();
}

std::optional<int> GuiShellUi::PickRow(TComponent* Sender, const std::string& title, TDataSet* DataSet)
{
    LookupDialog dialog(title, DataSet, WindowOver(Sender));
    bool picked = dialog.exec() == QDialog::Accepted;
    Reactivate();
    if (!picked) {
        return std::nullopt;
    }
    return dialog.Picked();
}

void GuiShellUi::ShowEmptyLookup(TComponent* Sender, const std::string& text)
{
    QMessageBox box(QMessageBox::Information, ShellTexts::Text(ShellTexts::kNoticeTitle), GuiConvert::ToQt(text),
                    QMessageBox::Ok, WindowOver(Sender));
    box.exec();
    Reactivate();
}

int GuiShellUi::Ask(TComponent* owner, const std::string& text, const std::vector<std::string>& choices,
                    int escapeChoice)
{
    std::vector<QString> buttons;
    for (const std::string& choice : choices) {
        buttons.push_back(GuiConvert::ToQt(choice));
    }
    QuestionBox box(ShellTexts::Text(ShellTexts::kNoticeTitle), GuiConvert::ToQt(text), buttons, WindowOver(owner));
    int choice = box.Ask();
    Reactivate();
    return choice >= 0 ? choice : escapeChoice;
}

void GuiShellUi::Search(TDataSet* DataSet)
{
    QWidget* over = WindowOver(Application().ActiveForm());
    // The search window is a model form too, so that it is the application's
    // active form while it is open, as screens expect of frmProcurar.
    auto* window = new TForm(&Application());
    window->SetName("frmProcurar");
    // The model takes the table's Windows-1252 text as it is.
    window->SetCaption(HostMessages::Text(ShellTexts::kSearchTitle));
    if (shell_ != nullptr) {
        shell_->SetDrawnElsewhere(window, true);
    }
    TCustomForm* previous = frmProcurar;
    frmProcurar = window;
    SearchDialog dialog(DataSet, over);
    ModelWatch dataWatch;
    dataWatch.Watch(DataSet, [&dialog] {
        dialog.Detach();
        dialog.reject();
    });
    auto restore = [&] {
        dataWatch.Unwatch();
        frmProcurar = previous;
        window->Hide();
        delete window;
        if (shell_ != nullptr) {
            shell_->SetDrawnElsewhere(window, false);
        }
        Reactivate();
    };
    try {
        window->Show();
        dialog.exec();
    } catch (...) {
        restore();
        throw;
    }
    restore();
}

void GuiShellUi::ShowNote(const std::string& text)
{
    QString line = GuiConvert::ToQt(text);
    // One line: the heading's colon leads on, the changes apart by semicolons.
    line.replace(QStringLiteral(":\n"), QStringLiteral(": "));
    line.replace(QLatin1Char('\n'), QStringLiteral("; "));
    shell_->statusBar()->showMessage(line, kNoteMs);
}
