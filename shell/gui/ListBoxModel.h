#pragma once
// The entries of a model list box as a Qt item model. Selection is part of
// the data (drawn as the highlight), not kept in a Qt selection model, so
// the model list stays the only place that knows what is selected.
#include <QAbstractListModel>

class TListBox;

class ListBoxModel : public QAbstractListModel {
    Q_OBJECT
public:
    explicit ListBoxModel(TListBox* list, QObject* parent = nullptr);

    // Reads the list again: a reset when the number of entries changed,
    // otherwise a change of every row's data.
    void Refresh();
    void Detach();
    // How many times the entries were read again (tests count redraws).
    int RefreshCount() const { return refreshCount_; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;

private:
    TListBox* list_;
    int rows_ = 0;
    int refreshCount_ = 0;
};
