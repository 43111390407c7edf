#pragma once
// The entries of a model list box as a Qt item model. Selection is part of
// the data (drawn as the highlight), not kept in a Qt selection model, so
// the model list stays the only place that knows what is selected. The
// selection takes the highlight while the list has the model's focus, and a
// tint of it otherwise.
#include <QAbstractListModel>

class TListBox;

class ListBoxModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ListBoxModel(TListBox* list, QObject* parent = nullptr);

    // Reads the list again: a reset when the number of entries changed,
    // otherwise a change of every row's data.
    void Refresh();
    // One entry added at, or removed from, index. While the model is in step
    // with the list the row alone is inserted or removed; once the list has
    // changed otherwise (cleared, replaced) the entries are left for the
    // next Refresh, which reads them all once.
    void RowInserted(int index);
    void RowDeleted(int index);
    void Detach();
    // How many times the entries were read again (tests count redraws).
    int RefreshCount() const { return refreshCount_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    bool HasFocus() const;

    TListBox* list_;
    int rows_ = 0;
    bool stale_ = false;
    int refreshCount_ = 0;
};
