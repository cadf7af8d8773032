// SPDX-License-Identifier: GPL-3.0-or-later
// The tape panel's list model: a view of the one Tape, row for row in its
// order (oldest first), never a copy of it. Each row shows the entry's line,
// names it for a screen reader with its position ("第3条，12加3乘2等于30")
// and shows its time as the tooltip.
#pragma once

#include "tape/Tape.h"

#include <QAbstractListModel>

namespace tallyvox {

class TapeListModel : public QAbstractListModel {
    Q_OBJECT
public:
    TapeListModel(const Tape &tape, QObject *parent) : QAbstractListModel(parent), tape_(tape) {}

    int rowCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;

    // The tape has changed: every row is read again.
    void Reload();

private:
    const Tape &tape_;
};

} // namespace tallyvox
