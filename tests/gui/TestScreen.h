#pragma once
// A form made in code with the kinds of control the real screen has: a header
// panel with a masked edit, an edit and a bold label; a work area with a
// multiple-selection list, a splitter, four transfer buttons with glyphs and
// shortcuts, and a grid over a client data set (code, name and a hidden
// column). The shell window mirrors it as the tests drive it.
#include "platform/controls/TControl.h"
#include "platform/core/DataPacket.h"

#include <QWidget>

#include <memory>
#include <string>
#include <vector>

class ShellMainForm;
class ShellWindow;
class FormView;
class QWidget;
class TClientDataSet;
class TDBGrid;
class TDataSource;
class TEdit;
class TForm;
class TLabel;
class TListBox;
class TMaskEdit;
class TPanel;
class TSpeedButton;
class TSplitter;
class TStringField;

class TestScreen {
public:
    // Clears the splitters' remembered shares unless told otherwise.
    explicit TestScreen(bool freshSettings = true);
    ~TestScreen();

    // Rows of code and name for the grid's data set.
    static DataPacket Rows(const std::vector<std::pair<std::string, std::string>>& rows);

    // The widget mirroring Control, cast to W (null when it has none).
    template <class W>
    W* Widget(const TControl* control) const;
    QWidget* WidgetOf(const TControl* control) const;
    FormView* View() const;

    std::unique_ptr<ShellWindow> shell;
    ShellMainForm* mainForm = nullptr;
    TForm* form = nullptr;
    TPanel* header = nullptr;
    TLabel* lblCode = nullptr;
    TMaskEdit* medCode = nullptr;
    TEdit* edtName = nullptr;
    TPanel* work = nullptr;
    TListBox* list = nullptr;
    TSplitter* splitter = nullptr;
    TPanel* buttons = nullptr;
    std::vector<TSpeedButton*> transfer;
    TDBGrid* grid = nullptr;
    TDataSource* source = nullptr;
    TClientDataSet* data = nullptr;
    TStringField* fldCode = nullptr;
    TStringField* fldName = nullptr;
    TStringField* fldHidden = nullptr;
    std::vector<int> clicks; // per transfer button
};

template <class W>
W* TestScreen::Widget(const TControl* control) const
{
    return dynamic_cast<W*>(WidgetOf(control));
}
