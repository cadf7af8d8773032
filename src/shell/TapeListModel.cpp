// SPDX-License-Identifier: GPL-3.0-or-later
#include "shell/TapeListModel.h"

#include <QDateTime>

namespace tallyvox {

int TapeListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(tape_.Size());
}

QVariant TapeListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() < 0 || std::size_t(index.row()) >= tape_.Size())
        return {};
    const TapeEntry &entry = tape_.At(std::size_t(index.row()));
    switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(EntryText(entry.calculation));
    case Qt::AccessibleTextRole:
        return QString::fromStdString(EntryAccessibleName(entry.calculation, std::size_t(index.row()) + 1));
    case Qt::ToolTipRole:
        return QDateTime::fromSecsSinceEpoch(entry.time).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    default: return {};
    }
}

void TapeListModel::Reload()
{
    beginResetModel();
    endResetModel();
}

} // namespace tallyvox
