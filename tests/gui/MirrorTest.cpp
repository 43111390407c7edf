// The widgets of a form follow the model, and the operator's input through
// the widgets reaches the model, on a form built in code.
#include "GuiTestSupport.h"
#include "TestScreen.h"

#include "platform/controls/TApplication.h"
#include "platform/controls/TColumn.h"
#include "platform/controls/TDBGrid.h"
#include "platform/controls/TEdit.h"
#include "platform/controls/TForm.h"
#include "platform/controls/TLabel.h"
#include "platform/controls/TListBox.h"
#include "platform/controls/TMaskEdit.h"
#include "platform/controls/TPanel.h"
#include "platform/controls/TSpeedButton.h"
#include "platform/controls/TSplitter.h"
#include "platform/data/TClientDataSet.h"
#include "platform/data/TDataSource.h"
#include "platform/data/TStringField.h"
#include "shell/gui/ControlView.h"
#include "shell/gui/FormSurface.h"
#include "shell/gui/FormView.h"
#include "shell/gui/GridModel.h"
#include "shell/gui/GridView.h"
#include "shell/gui/GuiConvert.h"
#include "shell/gui/ListBoxModel.h"
#include "shell/gui/ListBoxView.h"
#include "shell/gui/ShellTexts.h"

#include <QApplication>
#include <QBrush>
#include <QFont>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

using GuiTest::Cp;

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

class MirrorTest : public ::testing::Test {
protected:
    void SetUp() override { s = std::make_unique<TestScreen>(); }
    void TearDown() override { s.reset(); }

    QPoint RowCentre(ListBoxView* view, int row) const
    {
        return view->visualRect(view->ItemModel()->index(row)).center();
    }

    std::unique_ptr<TestScreen> s;
};

// ---- the model shows

TEST_F(MirrorTest, EditsShowTheModelsTextAndEnabledState)
{
    auto* name = s->Widget<QLineEdit>(s->edtName);
    auto* code = s->Widget<QLineEdit>(s->medCode);
    ASSERT_NE(name, nullptr);
    ASSERT_NE(code, nullptr);

    s->edtName->SetText(Cp("São Paulo"));
    EXPECT_EQ(name->text(), U("São Paulo"));
    s->edtName->SetEnabled(false);
    EXPECT_FALSE(name->isEnabled());
    EXPECT_TRUE(code->isEnabled());
    // A disabled container disables what it holds.
    s->header->SetEnabled(false);
    EXPECT_FALSE(code->isEnabled());
    s->header->SetEnabled(true);
    EXPECT_TRUE(code->isEnabled());
}

TEST_F(MirrorTest, ControlsAddedOrFreedLaterComeAndGo)
{
    auto* extra = new TEdit(s->form);
    extra->SetName("edtExtra");
    extra->SetBounds(420, 5, 80, 21);
    extra->SetParent(s->header);
    QPointer<QLineEdit> widget = s->Widget<QLineEdit>(extra);
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->geometry(), QRect(420, 5, 80, 21));

    delete extra;
    EXPECT_EQ(s->WidgetOf(extra), nullptr);
    GuiTest::Settle();
    EXPECT_TRUE(widget.isNull());
}

TEST_F(MirrorTest, ListShowsEntriesSelectionAndCurrentEntry)
{
    s->list->SetItems({"00001 - Lavagem", "00002 - Pintura", "00003 - Polimento"});
    s->list->SetSelected(1, true);
    s->list->SetItemIndex(2);
    GuiTest::Settle();
    auto* view = s->Widget<ListBoxView>(s->list);
    ASSERT_NE(view, nullptr);
    ListBoxModel* model = view->ItemModel();
    ASSERT_EQ(model->rowCount(), 3);
    EXPECT_EQ(model->index(2).data().toString(), U("00003 - Polimento"));
    EXPECT_TRUE(model->index(1).data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(model->index(0).data(Qt::BackgroundRole).isValid());
    EXPECT_EQ(view->currentIndex().row(), 2);

    s->list->Delete(0);
    GuiTest::Settle();
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_TRUE(model->index(0).data(Qt::BackgroundRole).isValid());
}

TEST_F(MirrorTest, GridShowsRowsTitlesWidthsAndCurrentRow)
{
    auto* grid = s->Widget<GridView>(s->grid);
    ASSERT_NE(grid, nullptr);
    GridModel* model = grid->TableModel();
    ASSERT_EQ(model->rowCount(), 3);
    ASSERT_EQ(model->columnCount(), 2);
    EXPECT_EQ(model->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(), U("Código"));
    EXPECT_EQ(model->headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(), U("Nome"));
    EXPECT_EQ(model->index(1, 1).data().toString(), U("Manutenção"));
    EXPECT_EQ(grid->horizontalHeader()->sectionSize(0), 48);

    s->data->SetRecNo(2);
    EXPECT_EQ(grid->currentIndex().row(), 2);
    s->data->Delete();
    EXPECT_EQ(model->rowCount(), 2);
    EXPECT_EQ(grid->currentIndex().row(), s->data->RecNo());

    // A row not yet stored is in italics and says so; stored, it is plain.
    EXPECT_FALSE(model->index(0, 0).data(Qt::FontRole).isValid());
    s->data->Append();
    s->fldCode->SetAsString("00009");
    s->data->Post();
    const int added = s->data->RecNo();
    EXPECT_TRUE(model->index(added, 1).data(Qt::FontRole).value<QFont>().italic());
    EXPECT_FALSE(model->index(added, 1).data(Qt::ToolTipRole).toString().isEmpty());
    EXPECT_FALSE(model->index(0, 1).data(Qt::FontRole).isValid());
    s->data->MergeChangeLog();
    EXPECT_FALSE(model->index(added, 1).data(Qt::FontRole).isValid());
}

// A grid row or list entry whose change the server may not hold is drawn in
// italics and says why: not sent yet, or sent and its answer lost. The list
// is drawn again when an entry is marked.
TEST_F(MirrorTest, RowsAndEntriesTheServerMayNotHoldAreItalicAndSayWhy)
{
    s->list->SetItems({"00001 - Lavagem", "00002 - Pintura"});
    GuiTest::Settle();
    ListBoxModel* entries = s->Widget<ListBoxView>(s->list)->ItemModel();
    QSignalSpy redrawn(entries, &QAbstractItemModel::dataChanged);
    s->list->SetItemPending(1, true);
    GuiTest::Settle();
    EXPECT_FALSE(redrawn.isEmpty());

    s->data->Append();
    s->fldCode->SetAsString("00009");
    s->data->Post();
    const int inDoubt = s->data->RecNo();
    s->data->MarkChangesInDoubt();
    s->data->Append();
    s->fldCode->SetAsString("00010");
    s->data->Post();
    const int unsent = s->data->RecNo();
    GridModel* rows = s->Widget<GridView>(s->grid)->TableModel();

    struct Case {
        const char* what;
        QModelIndex index;
        const char* reason;
    };
    const Case cases[] = {
        {"stored row", rows->index(0, 1), nullptr},
        {"row in doubt", rows->index(inDoubt, 1), ShellTexts::kInDoubt},
        {"row not sent", rows->index(unsent, 1), ShellTexts::kNotStored},
        {"entry", entries->index(0), nullptr},
        {"pending entry", entries->index(1), ShellTexts::kNotStored},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(c.index.isValid());
        EXPECT_EQ(c.index.data(Qt::FontRole).value<QFont>().italic(), c.reason != nullptr);
        EXPECT_EQ(c.index.data(Qt::ToolTipRole).toString(),
                  c.reason != nullptr ? ShellTexts::Text(c.reason) : QString());
    }
}

TEST_F(MirrorTest, DisabledDataSourceBlanksTheGridUntilEnabled)
{
    GridModel* model = s->Widget<GridView>(s->grid)->TableModel();
    s->source->SetEnabled(false);
    EXPECT_EQ(model->rowCount(), 0);
    // Rows loaded meanwhile show once the source is back.
    s->data->SetData(TestScreen::Rows({{"00007", "Troca"}}));
    EXPECT_EQ(model->rowCount(), 0);
    s->source->SetEnabled(true);
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_EQ(model->index(0, 0).data().toString(), U("00007"));
}

TEST_F(MirrorTest, LabelsEditsAndGridTakeTheModelsFontAndColours)
{
    auto* label = s->Widget<QLabel>(s->lblCode);
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), U("Filial"));
    EXPECT_TRUE(label->font().bold());
    EXPECT_EQ(label->font().pointSize(), 8);
    EXPECT_FALSE(s->WidgetOf(s->edtName)->font().bold());

    QPalette app = QApplication::palette();
    EXPECT_EQ(s->WidgetOf(s->medCode)->palette().color(QPalette::Base), app.color(QPalette::ToolTipBase));
    EXPECT_EQ(s->WidgetOf(s->grid)->palette().color(QPalette::Base), app.color(QPalette::ToolTipBase));
    // The disabled name edits keep the button face.
    s->edtName->SetColor(clBtnFace);
    s->edtName->SetEnabled(false);
    EXPECT_EQ(s->WidgetOf(s->edtName)->palette().color(QPalette::Disabled, QPalette::Base),
              app.color(QPalette::Active, QPalette::Button));
}

// ---- input reaches the model

TEST_F(MirrorTest, TypingGoesThroughTheModelsMask)
{
    auto* code = s->Widget<QLineEdit>(s->medCode);
    GuiTest::Click(code, {5, 5});
    ASSERT_EQ(s->form->ActiveControl(), s->medCode);

    QTest::keyClicks(code, "ab1c9");
    // Upper case and four slots: the mask decided, the widget shows it.
    EXPECT_EQ(s->medCode->Text(), "AB1C");
    EXPECT_EQ(code->text(), GuiConvert::ToQt(s->medCode->DisplayText()));
    QTest::keyClick(code, Qt::Key_Backspace);
    EXPECT_EQ(s->medCode->Text(), "AB1");
    EXPECT_EQ(code->text(), GuiConvert::ToQt(s->medCode->DisplayText()));
}

TEST_F(MirrorTest, AccentedTypingArrivesAsRunTimeText)
{
    s->edtName->SetFocus();
    auto* name = s->Widget<QLineEdit>(s->edtName);
    GuiTest::Type(name, U("Ação"));
    EXPECT_EQ(s->edtName->Text(), Cp("Ação"));
    EXPECT_EQ(name->text(), U("Ação"));
}

TEST_F(MirrorTest, DisabledButtonIgnoresClicksAndNoButtonTakesTheFocus)
{
    auto* button = s->Widget<QToolButton>(s->transfer[0]);
    ASSERT_NE(button, nullptr);
    s->transfer[0]->SetEnabled(false);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(s->clicks[0], 0);

    s->transfer[0]->SetEnabled(true);
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_EQ(s->clicks[0], 1);
    EXPECT_EQ(s->form->ActiveControl(), s->medCode);
}

// While syncs are deferred (a long command runs), a control that changes
// many times is shown once, in its last state, when the event loop turns;
// ending the deferral shows what waits at once.
TEST_F(MirrorTest, DeferredChangesAreShownOnceAtTheNextTurnOrWhenTheDeferralEnds)
{
    auto* button = s->Widget<QToolButton>(s->transfer[0]);
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isEnabled());
    int enabledChanges = 0;
    struct Counter : QObject {
        int* changes;
        explicit Counter(int* c) : changes(c) {}
        bool eventFilter(QObject*, QEvent* event) override
        {
            if (event->type() == QEvent::EnabledChange) {
                ++*changes;
            }
            return false;
        }
    } filter(&enabledChanges);
    button->installEventFilter(&filter);

    ControlView::DeferSyncs(true);
    for (int i = 0; i < 101; ++i) {
        s->transfer[0]->SetEnabled(i % 2 != 0);
    }
    EXPECT_TRUE(button->isEnabled());
    QApplication::processEvents();
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(enabledChanges, 1);

    s->transfer[0]->SetEnabled(true);
    ControlView::DeferSyncs(false);
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(enabledChanges, 2);
    // Changes are shown at once again.
    s->transfer[0]->SetEnabled(false);
    EXPECT_FALSE(button->isEnabled());
    button->removeEventFilter(&filter);
}

TEST_F(MirrorTest, ShortcutsClickTheTransferButtonsUnlessDisabled)
{
    for (auto* b : s->transfer) {
        b->SetEnabled(true);
    }
    s->transfer[2]->SetEnabled(false);
    auto* code = s->Widget<QLineEdit>(s->medCode);
    GuiTest::Click(code, {5, 5});

    QTest::keyClick(code, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(code, Qt::Key_Right, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(code, Qt::Key_Left, Qt::ControlModifier);
    QTest::keyClick(code, Qt::Key_Left, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(s->clicks, (std::vector<int>{1, 1, 0, 1}));
    // The keys typed nothing into the edit.
    EXPECT_EQ(s->medCode->Text(), "");
    EXPECT_EQ(s->Widget<QToolButton>(s->transfer[1])->toolTip(), U("Move 1"));
}

TEST_F(MirrorTest, ListTakesClicksWithCtrlAndShiftAndDoubleClicks)
{
    s->list->SetItems({"a", "b", "c", "d", "e"});
    int doubleClicks = 0;
    int doubleClickedIndex = -1;
    s->list->SetOnDblClick([&](TObject*) {
        ++doubleClicks;
        doubleClickedIndex = s->list->ItemIndex();
    });
    GuiTest::Settle();
    auto* view = s->Widget<ListBoxView>(s->list);

    GuiTest::Click(view->viewport(), RowCentre(view, 0));
    GuiTest::Click(view->viewport(), RowCentre(view, 2), Qt::ControlModifier);
    EXPECT_EQ(s->list->SelectedIndexes(), (std::vector<int>{0, 2}));
    EXPECT_EQ(s->form->ActiveControl(), s->list);

    GuiTest::Click(view->viewport(), RowCentre(view, 4), Qt::ShiftModifier);
    EXPECT_EQ(s->list->SelectedIndexes(), (std::vector<int>{2, 3, 4}));

    GuiTest::DoubleClick(view->viewport(), RowCentre(view, 1));
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_EQ(doubleClickedIndex, 1);
    GuiTest::Settle();
    EXPECT_TRUE(view->ItemModel()->index(1).data(Qt::BackgroundRole).isValid());
    EXPECT_FALSE(view->ItemModel()->index(3).data(Qt::BackgroundRole).isValid());
}

TEST_F(MirrorTest, ListArrowKeysMoveAndShiftExtendsTheSelection)
{
    s->list->SetItems({"a", "b", "c", "d"});
    int clicks = 0;
    s->list->SetOnClick([&](TObject*) { ++clicks; });
    s->list->SetFocus();
    GuiTest::Settle();
    QWidget* view = s->WidgetOf(s->list);

    QTest::keyClick(view, Qt::Key_Down);
    QTest::keyClick(view, Qt::Key_Down);
    EXPECT_EQ(s->list->ItemIndex(), 1);
    EXPECT_EQ(s->list->SelectedIndexes(), (std::vector<int>{1}));
    QTest::keyClick(view, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(s->list->SelectedIndexes(), (std::vector<int>{1, 2, 3}));
    // Space toggles the current entry, as the list itself decides.
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_EQ(s->list->SelectedIndexes(), (std::vector<int>{1, 2}));
    EXPECT_EQ(clicks, 4);
}

TEST_F(MirrorTest, GridCellClicksKeysAndRowKeysReachTheModel)
{
    int clickedRow = -1;
    s->grid->SetOnCellClick([&](TColumn*) { clickedRow = s->data->RecNo(); });
    std::string typed;
    s->grid->SetOnKeyPress([&](TObject*, char& Key) { typed += Key; });
    auto* grid = s->Widget<GridView>(s->grid);

    QRect cell = grid->CellRect(2, 1);
    GuiTest::Click(grid->viewport(), cell.center());
    EXPECT_EQ(s->form->ActiveControl(), s->grid);
    EXPECT_EQ(clickedRow, 2);
    EXPECT_EQ(s->data->RecNo(), 2);

    QTest::keyClicks(grid, "x");
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(typed, "x\r");
    QTest::keyClick(grid, Qt::Key_Up);
    EXPECT_EQ(s->data->RecNo(), 1);
    EXPECT_EQ(grid->currentIndex().row(), 1);
    QTest::keyClick(grid, Qt::Key_Home);
    EXPECT_EQ(s->data->RecNo(), 0);
}

// ---- focus

TEST_F(MirrorTest, ModelFocusChangesMoveTheQtFocus)
{
    EXPECT_TRUE(s->WidgetOf(s->medCode)->hasFocus());
    s->edtName->SetFocus();
    EXPECT_TRUE(s->WidgetOf(s->edtName)->hasFocus());
    s->list->SetFocus();
    EXPECT_TRUE(s->WidgetOf(s->list)->hasFocus());
}

TEST_F(MirrorTest, TabAndShiftTabMoveTheModelsFocus)
{
    QTest::keyClick(s->WidgetOf(s->medCode), Qt::Key_Tab);
    EXPECT_EQ(s->form->ActiveControl(), s->edtName);
    EXPECT_TRUE(s->WidgetOf(s->edtName)->hasFocus());
    QTest::keyClick(s->WidgetOf(s->edtName), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(s->form->ActiveControl(), s->medCode);
    EXPECT_TRUE(s->WidgetOf(s->medCode)->hasFocus());
}

// Where the focus is shows: the list's selection keeps the highlight only
// while the list has the focus, and an empty grid with the focus is framed.
TEST_F(MirrorTest, TheFocusShowsInTheListAndInAnEmptyGrid)
{
    auto* listView = s->Widget<ListBoxView>(s->list);
    s->list->SetItems({"a", "b"});
    GuiTest::Settle();
    GuiTest::Click(listView->viewport(), RowCentre(listView, 0));
    QBrush highlight = QApplication::palette().brush(QPalette::Active, QPalette::Highlight);
    auto background = [&] { return listView->ItemModel()->index(0).data(Qt::BackgroundRole); };
    EXPECT_EQ(background().value<QBrush>(), highlight);
    QTest::keyClick(listView, Qt::Key_F6);
    EXPECT_EQ(s->form->ActiveControl(), s->grid);
    EXPECT_TRUE(background().isValid()) << "still selected";
    EXPECT_NE(background().value<QBrush>().color(), highlight.color());

    auto* gridView = s->Widget<GridView>(s->grid);
    s->data->SetData(TestScreen::Rows({}));
    GuiTest::Settle();
    QImage focused = gridView->grab().toImage();
    s->medCode->SetFocus();
    GuiTest::Settle();
    EXPECT_NE(gridView->grab().toImage(), focused);
}

TEST_F(MirrorTest, FocusKeptByAnExitHandlerIsFollowed)
{
    s->medCode->SetOnExit([this](TObject*) {
        if (s->medCode->Text().empty()) {
            s->medCode->SetFocus();
        }
    });
    GuiTest::Click(s->WidgetOf(s->edtName), {5, 5});
    EXPECT_EQ(s->form->ActiveControl(), s->medCode);
    EXPECT_TRUE(s->WidgetOf(s->medCode)->hasFocus());
    EXPECT_FALSE(s->WidgetOf(s->edtName)->hasFocus());
}

TEST_F(MirrorTest, ClickOnALabelFocusesItsControl)
{
    s->edtName->SetFocus();
    GuiTest::Click(s->WidgetOf(s->lblCode), {2, 2});
    EXPECT_EQ(s->form->ActiveControl(), s->medCode);
}

// ---- redraws

TEST_F(MirrorTest, ControlsAreNamedForScreenReadersByLabelCaptionHintOrName)
{
    s->medCode->SetHint(Cp("Código da filial"));
    auto* code = s->Widget<QLineEdit>(s->medCode);
    EXPECT_EQ(code->accessibleName(), U("Filial"));
    EXPECT_EQ(code->accessibleDescription(), U("Código da filial"));
    EXPECT_EQ(s->WidgetOf(s->lblCode)->accessibleName(), U("Filial"));
    auto* button = s->Widget<QToolButton>(s->transfer[1]);
    EXPECT_EQ(button->accessibleName(), U("Move 1"));
    EXPECT_EQ(button->accessibleDescription(), QString());
    EXPECT_EQ(s->WidgetOf(s->edtName)->accessibleName(), U("edtName"));
    s->edtName->SetHint("Nome");
    EXPECT_EQ(s->WidgetOf(s->edtName)->accessibleName(), U("Nome"));
}

TEST_F(MirrorTest, GridWhoseColumnsFitShowsNoSidewaysScrollAndKeepsTheFirstColumnInView)
{
    s->list->SetWidth(s->list->Width() + 80);
    GuiTest::Settle();
    auto* grid = s->Widget<GridView>(s->grid);
    auto* header = grid->horizontalHeader();
    // The name column's default width (its field's size) is wider than the
    // room the code column leaves; its texts are not.
    int room = grid->viewport()->width() - header->sectionSize(0);
    ASSERT_GT(s->grid->Columns(1)->DisplayWidth(), room);
    EXPECT_EQ(header->sectionSize(1), room);
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
    Application().Dispatch([this] {
        s->grid->SetFocus();
        s->grid->SetSelectedIndex(1);
    });
    GuiTest::Settle();
    EXPECT_EQ(grid->horizontalScrollBar()->value(), 0);
    EXPECT_EQ(grid->columnViewportPosition(0), 0);
}

TEST_F(MirrorTest, TenThousandRowsLoadedWhileSuspendedRedrawTheGridOnce)
{
    GridModel* model = s->Widget<GridView>(s->grid)->TableModel();
    int before = model->RefreshCount();
    s->data->DisableControls();
    char code[8];
    for (int i = 0; i < 10000; ++i) {
        std::snprintf(code, sizeof code, "%05d", i + 10);
        s->data->Append();
        s->fldCode->SetAsString(code);
        s->fldName->SetAsString("Service");
        s->data->Post();
    }
    s->data->EnableControls();
    EXPECT_EQ(model->RefreshCount() - before, 1);
    EXPECT_EQ(model->rowCount(), 10003);

    // Without the suspension every row is drawn: the count is real.
    before = model->RefreshCount();
    s->data->Append();
    s->fldCode->SetAsString("99999");
    s->data->Post();
    EXPECT_GT(model->RefreshCount(), before);
}

TEST_F(MirrorTest, ListFilledEntryByEntryIsReadOnce)
{
    auto* view = s->Widget<ListBoxView>(s->list);
    int before = view->ItemModel()->RefreshCount();
    for (int i = 0; i < 10000; ++i) {
        s->list->Add("entry " + std::to_string(i));
    }
    GuiTest::Settle();
    EXPECT_EQ(view->ItemModel()->RefreshCount() - before, 1);
    EXPECT_EQ(view->ItemModel()->rowCount(), 10000);
}

TEST_F(MirrorTest, ARowAddedOrRemovedAloneMovesOnlyThatRowAndAClearedListIsReadOnce)
{
    GridModel* grid = s->Widget<GridView>(s->grid)->TableModel();
    QSignalSpy gridResets(grid, &QAbstractItemModel::modelReset);
    QSignalSpy gridInserts(grid, &QAbstractItemModel::rowsInserted);
    QSignalSpy gridRemovals(grid, &QAbstractItemModel::rowsRemoved);
    s->data->First();
    s->data->Insert();
    s->fldCode->SetAsString("00042");
    s->data->Post();
    ASSERT_EQ(gridInserts.count(), 1);
    EXPECT_EQ(gridInserts.at(0).at(1).toInt(), 0);
    EXPECT_EQ(grid->data(grid->index(0, 0), Qt::DisplayRole).toString(), "00042");
    s->data->Last();
    s->data->Delete();
    ASSERT_EQ(gridRemovals.count(), 1);
    EXPECT_EQ(gridRemovals.at(0).at(1).toInt(), s->data->RecordCount());
    EXPECT_EQ(grid->rowCount(), s->data->RecordCount());
    EXPECT_EQ(gridResets.count(), 0);

    auto* view = s->Widget<ListBoxView>(s->list);
    ListBoxModel* list = view->ItemModel();
    s->list->SetItems({"first", "second", "third"});
    GuiTest::Settle();
    QSignalSpy listResets(list, &QAbstractItemModel::modelReset);
    QSignalSpy listInserts(list, &QAbstractItemModel::rowsInserted);
    QSignalSpy listRemovals(list, &QAbstractItemModel::rowsRemoved);
    const int count = s->list->Count();
    s->list->Add("added");
    s->list->Delete(0);
    GuiTest::Settle();
    ASSERT_EQ(listInserts.count(), 1);
    EXPECT_EQ(listInserts.at(0).at(1).toInt(), count);
    ASSERT_EQ(listRemovals.count(), 1);
    EXPECT_EQ(listRemovals.at(0).at(1).toInt(), 0);
    EXPECT_EQ(listResets.count(), 0);
    EXPECT_EQ(list->data(list->index(count - 1), Qt::DisplayRole).toString(), "added");

    // Emptied and filled again before the view looked: one read of the whole list.
    s->list->Clear();
    s->list->Add("one");
    s->list->Add("two");
    GuiTest::Settle();
    EXPECT_EQ(listResets.count(), 1);
    EXPECT_EQ(list->rowCount(), 2);
    EXPECT_EQ(list->data(list->index(1), Qt::DisplayRole).toString(), "two");
}

// ---- layout through the model

TEST_F(MirrorTest, SplitterDragResizesTheListThroughTheModel)
{
    QWidget* bar = s->WidgetOf(s->splitter);
    QWidget* grid = s->WidgetOf(s->grid);
    ASSERT_NE(bar, nullptr);
    int listWidth = s->list->Width();
    int gridLeft = grid->x();
    int gridWidth = grid->width();

    GuiTest::Mouse(bar, QEvent::MouseButtonPress, {1, 20});
    GuiTest::Mouse(bar, QEvent::MouseMove, {31, 20});
    GuiTest::Mouse(bar, QEvent::MouseButtonRelease, {31, 20});
    EXPECT_EQ(s->list->Width(), listWidth + 30);
    EXPECT_EQ(s->WidgetOf(s->list)->width(), listWidth + 30);
    EXPECT_EQ(grid->x(), gridLeft + 30);
    EXPECT_EQ(grid->width(), gridWidth - 30);
    // The buttons stay between the two sides.
    EXPECT_EQ(s->WidgetOf(s->buttons)->x(), s->WidgetOf(s->splitter)->geometry().right() + 1);
}

TEST_F(MirrorTest, ResizingTheWindowLaysTheFormOutAgain)
{
    FormView* view = s->View();
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->Surface()->size(), QSize(s->form->ClientWidth(), s->form->ClientHeight()));
    view->resize(view->size() + QSize(40, 30));
    GuiTest::Settle();
    EXPECT_EQ(s->form->Width(), 640);
    EXPECT_EQ(s->form->Height(), 410);
    EXPECT_EQ(s->header->Width(), s->form->ClientWidth());
    EXPECT_EQ(s->WidgetOf(s->header)->width(), s->form->ClientWidth());
    EXPECT_EQ(s->WidgetOf(s->work)->height(), s->form->ClientHeight() - 57);

    // Wider still, the grid's last column takes the room: no empty band.
    view->resize(view->size() + QSize(300, 0));
    GuiTest::Settle();
    auto* grid = s->Widget<GridView>(s->grid);
    auto* header = grid->horizontalHeader();
    EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1), grid->viewport()->width());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
}

} // namespace
