#include "shell/gui/ShellWindow.h"

#include "host/Session.h"
#include "platform/controls/TApplication.h"
#include "platform/controls/TCustomForm.h"
#include "shell/PackageHost.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/MenuMirror.h"
#include "shell/gui/ShellTexts.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>

#include <QSettings>

#include <algorithm>

namespace {

// Size, place and maximized state, as QWidget::saveGeometry writes them.
const char* const kGeometryKey = "MainWindow/geometry";

} // namespace

ShellWindow::ShellWindow(PackageHost* package, QWidget* parent) : QMainWindow(parent), package_(package)
{
    setWindowTitle(ShellTexts::Text(ShellTexts::kApplicationName));
    area_ = new QMdiArea(this);
    area_->setViewMode(QMdiArea::SubWindowView);
    area_->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    area_->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    setCentralWidget(area_);
    connect(area_, &QMdiArea::subWindowActivated, this, &ShellWindow::SubWindowActivated);

    QMenu* modules = menuBar()->addMenu(ShellTexts::Text(ShellTexts::kMenuModules));
    QAction* open = modules->addAction(ShellTexts::Text(ShellTexts::kOpenScreen));
    open->setEnabled(package_ != nullptr);
    connect(open, &QAction::triggered, this, &ShellWindow::OpenScreen);
    modules->addSeparator();
    quit_ = modules->addAction(ShellTexts::Text(ShellTexts::kQuit));
    // The platform's quit keys; a platform that names none gets Ctrl+Q.
    QList<QKeySequence> quitKeys = QKeySequence::keyBindings(QKeySequence::Quit);
    if (quitKeys.isEmpty()) {
        quitKeys << QKeySequence(Qt::CTRL | Qt::Key_Q);
    }
    quit_->setShortcuts(quitKeys);
    quit_->setShortcutContext(Qt::ApplicationShortcut);
    connect(quit_, &QAction::triggered, this, &QWidget::close);
    QMenu* windows = menuBar()->addMenu(ShellTexts::Text(ShellTexts::kMenuWindow));
    connect(windows->addAction(ShellTexts::Text(ShellTexts::kCascade)), &QAction::triggered, area_,
            &QMdiArea::cascadeSubWindows);
    connect(windows->addAction(ShellTexts::Text(ShellTexts::kTile)), &QAction::triggered, area_,
            &QMdiArea::tileSubWindows);
    menus_ = new MenuMirror(menuBar());

    branch_ = new QLabel(this);
    server_ = new QLabel(this);
    statusBar()->addWidget(branch_);
    statusBar()->addWidget(server_);

    formsChanged_ = Application().FormsChanged.Connect([this] { SyncForms(); });
    cursorChanged_ = Application().CursorChanged.Connect([this] { SyncCursor(); });
    RestorePlace();
    SyncForms();
    SyncCursor();
}

ShellWindow::~ShellWindow()
{
    formsChanged_.Disconnect();
    cursorChanged_.Disconnect();
    watches_.clear();
    if (waitCursor_) {
        QApplication::restoreOverrideCursor();
    }
    for (auto& [form, view] : views_) {
        delete view.data();
    }
}

FormView* ShellWindow::ViewOf(const TCustomForm* form) const
{
    auto it = views_.find(form);
    return it == views_.end() ? nullptr : it->second.data();
}

void ShellWindow::OpenScreen()
{
    if (package_ == nullptr) {
        return;
    }
    PackageHost* package = package_;
    Application().Dispatch([package] { package->Open(); });
    UpdateStatus();
}

void ShellWindow::SetDrawnElsewhere(const TCustomForm* form, bool value)
{
    if (value) {
        elsewhere_.insert(form);
    } else {
        elsewhere_.erase(form);
    }
}

QString ShellWindow::BranchText() const
{
    return ShellTexts::Text(ShellTexts::kBranch, {Session::Current().FiliProc()});
}

QString ShellWindow::ServerText() const
{
    return ShellTexts::Text(ShellTexts::kServer,
                            {Session::Current().WebURL(), std::to_string(Session::Current().WebPort())});
}

void ShellWindow::UpdateStatus()
{
    // The session may change while the shell runs; it is read anew each time.
    branch_->setText(BranchText());
    server_->setText(ServerText());
}

void ShellWindow::SyncForms()
{
    if (syncing_) {
        return;
    }
    syncing_ = true;
    const auto& forms = Application().Forms();
    auto exists = [&forms](const TCustomForm* f) { return std::find(forms.begin(), forms.end(), f) != forms.end(); };
    for (auto it = views_.begin(); it != views_.end();) {
        if (!exists(it->first) || it->second == nullptr) {
            if (it->second != nullptr) {
                it->second->hide();
                it->second->deleteLater();
            }
            it = views_.erase(it);
        } else {
            ++it;
        }
    }
    for (auto it = watches_.begin(); it != watches_.end();) {
        it = exists(it->first) ? std::next(it) : watches_.erase(it);
    }
    for (TCustomForm* form : forms) {
        if (form == Application().MainForm() || elsewhere_.count(form) != 0) {
            continue;
        }
        if (watches_.count(form) == 0) {
            // A form gets its window the first time it shows.
            watches_[form] = form->Changed.Connect([this] { SyncForms(); });
        }
        if (form->Visible() && views_.count(form) == 0) {
            auto* view = new FormView(form);
            area_->addSubWindow(view);
            views_[form] = view;
            view->SyncFromModel();
        }
    }
    TCustomForm* active = Application().ActiveForm();
    FormView* activeView = ViewOf(active);
    if (activeView != nullptr && activeView->isVisible() && area_->activeSubWindow() != activeView) {
        area_->setActiveSubWindow(activeView);
    }
    menus_->Follow(activeView != nullptr ? active : nullptr);
    UpdateStatus();
    syncing_ = false;
}

void ShellWindow::SubWindowActivated(QMdiSubWindow* window)
{
    auto* view = dynamic_cast<FormView*>(window);
    if (view == nullptr || view->Form() == nullptr) {
        return;
    }
    TCustomForm* form = view->Form();
    if (!syncing_ && !FormView::ApplyingModel() && form->Visible() && Application().ActiveForm() != form) {
        // The operator brought this window to the front.
        Application().Dispatch([form] { form->BringToFront(); });
    }
    if (view->Form() != nullptr) {
        view->FollowFocus();
    }
}

void ShellWindow::Reactivate()
{
    activateWindow();
    if (FormView* view = ViewOf(Application().ActiveForm())) {
        view->FollowFocus();
    }
}

void ShellWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowTitleChange) {
        // A maximized document window adds its title to the main window's
        // in brackets: a screen named as the application is not named twice.
        QString name = ShellTexts::Text(ShellTexts::kApplicationName);
        QString title = windowTitle();
        if (title != name && title.startsWith(name) && title.endsWith(QLatin1Char('[') + name + QLatin1Char(']'))) {
            setWindowTitle(name);
        }
    }
    // Back from another window: the focus goes where the model has it, which
    // may have moved while this window was not active.
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        if (FormView* view = ViewOf(Application().ActiveForm())) {
            view->FollowFocus();
        }
    }
}

void ShellWindow::RestorePlace()
{
    QSettings settings;
    QByteArray geometry = settings.value(kGeometryKey).toByteArray();
    if (geometry.isEmpty() || !restoreGeometry(geometry)) {
        resize(1100, 720);
    }
    BringOnScreen();
}

void ShellWindow::BringOnScreen()
{
    QScreen* screen = QGuiApplication::screenAt(geometry().center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    if (screen == nullptr) {
        return;
    }
    // A place saved on a screen that is gone, or mostly off the edge: the
    // window comes back whole onto the screen, no larger than it is.
    QRect work = screen->availableGeometry();
    QRect place = geometry();
    QRect seen = place.intersected(work);
    if (seen.width() * 2 >= place.width() && seen.height() * 2 >= place.height()) {
        return;
    }
    QSize size = place.size().boundedTo(work.size());
    QPoint at(std::clamp(place.x(), work.left(), work.right() + 1 - size.width()),
              std::clamp(place.y(), work.top(), work.bottom() + 1 - size.height()));
    setGeometry(QRect(at, size));
}

void ShellWindow::SavePlace() const
{
    QSettings settings;
    settings.setValue(kGeometryKey, saveGeometry());
    settings.sync();
}

void ShellWindow::closeEvent(QCloseEvent* event)
{
    // The screen closes first: holding changes that cannot reach the server
    // it asks the operator, who may choose to stay, and then so does the
    // shell.
    if (package_ != nullptr && package_->Loaded()) {
        if (TCustomForm* screen = package_->ScreenGlobal()) {
            Application().Dispatch([screen] { screen->Close(); });
            if (package_->ScreenGlobal() != nullptr) {
                event->ignore();
                return;
            }
        }
    }
    SavePlace();
    QMainWindow::closeEvent(event);
}

void ShellWindow::SyncCursor()
{
    bool wait = Application().Cursor() == crHourGlass;
    if (wait && !waitCursor_) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        waitCursor_ = true;
    } else if (!wait && waitCursor_) {
        QApplication::restoreOverrideCursor();
        waitCursor_ = false;
    }
}
