// The card register's rows as the register window's table shows them, one column per field
// of a card, in the order the register gives them (newest first). It holds the pages read so
// far: the first when shown, the next ones as the table scrolls towards the end (fetchMore),
// so that a register of a million rows opens as fast as a small one.
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

    // Rows read per page.
    static constexpr int kPageRows = 200;

    using QAbstractTableModel::QAbstractTableModel;

    // Shows the first page of the rows that pass filter; false with the reason in
    // LastError when the register cannot be read (the table is empty then). The register
    // must outlive the model's use of it.
    bool Load(station::CCardRegister& cardRegister, const station::RegisterFilter& filter);
    void Clear();
    // True when the register may hold more rows than read so far.
    bool More() const { return m_register != nullptr && !m_atEnd; }
    QString LastError() const { return m_lastError; }
    const std::vector<station::RegisterEntry>& Entries() const { return m_entries; }

    bool canFetchMore(const QModelIndex& parent) const override;
    void fetchMore(const QModelIndex& parent) override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

  Q_SIGNALS:
    // A page could not be read; reason in the register's words.
    void FetchFailed(const QString& reason);

  private:
    QString Text(const station::RegisterEntry& entry, int column) const;
    enum class PageRead { Read, Failed, Superseded };
    // The next page after the last row read; Failed with LastError. The register's wait
    // runs the window's events, which may load anew meanwhile: the page is Superseded then.
    PageRead ReadPage(std::vector<station::RegisterEntry>& page);

    station::CCardRegister* m_register = nullptr;
    station::RegisterFilter m_filter;
    bool m_atEnd = true;
    bool m_fetching = false;
    unsigned m_generation = 0;  // counts the loads
    // The last row read: the next page starts after it.
    std::optional<station::RegisterFilter::Position> m_last;
    std::vector<station::RegisterEntry> m_entries;
    QString m_lastError;
};
