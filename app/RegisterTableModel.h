// The card register's rows as the register window's table shows them, one column per field
// of a card, in the order the register gives them (newest first).
#pragma once

#include <QAbstractTableModel>
#include <vector>

#include "station/register/CardRegister.h"

class CRegisterTableModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    enum Column {
        kNumber,
        kFormat,
        kFacility,
        kExtra,
        kChip,
        kChipId,
        kLocked,
        kVerified,
        kReissue,
        kState,
        kTime,
        kStation,
        kOperator,
        kColumnCount
    };

    using QAbstractTableModel::QAbstractTableModel;

    void SetEntries(std::vector<station::RegisterEntry> entries);
    const std::vector<station::RegisterEntry>& Entries() const { return m_entries; }

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  private:
    QString Text(const station::RegisterEntry& entry, int column) const;

    std::vector<station::RegisterEntry> m_entries;
};
