#include "RegisterTableModel.h"

#include "CardFormats.h"
#include "ChipTypes.h"
#include "RegisterText.h"
#include "StationBusy.h"
#include "StringTable.h"
#include "station/ChipTypeTable.h"

namespace {

// The column headers, in column order.
constexpr int kHeaderIds[CRegisterTableModel::kColumnCount] = {
    11130, 11131, 11132, 11133, 11134, 11135, 11136, 11137, 11138, 11139, 11140, 11141, 11142};

}  // namespace

bool CRegisterTableModel::Load(station::CCardRegister& cardRegister,
                               const station::RegisterFilter& filter) {
    ++m_generation;
    m_register = &cardRegister;
    m_filter = filter;
    m_filter.limit = kPageRows;
    m_filter.after.reset();
    m_last.reset();
    m_atEnd = false;
    std::vector<station::RegisterEntry> page;
    const PageRead read = ReadPage(page);
    if (read == PageRead::Superseded) return true;
    beginResetModel();
    m_entries = std::move(page);
    endResetModel();
    return read == PageRead::Read;
}

void CRegisterTableModel::Clear() {
    ++m_generation;
    beginResetModel();
    m_register = nullptr;
    m_atEnd = true;
    m_entries.clear();
    endResetModel();
}

CRegisterTableModel::PageRead CRegisterTableModel::ReadPage(
    std::vector<station::RegisterEntry>& page) {
    const unsigned generation = m_generation;
    if (m_atEnd) return PageRead::Read;
    m_filter.after = m_last;
    std::optional<std::vector<station::RegisterEntry>> rows = m_register->List(m_filter);
    if (generation != m_generation) return PageRead::Superseded;
    if (!rows) {
        m_lastError = m_register->LastError();
        m_atEnd = true;
        return PageRead::Failed;
    }
    m_atEnd = rows->size() < static_cast<std::size_t>(kPageRows);
    if (!rows->empty())
        m_last = station::RegisterFilter::Position{rows->back().time, rows->back().id};
    page = std::move(*rows);
    return PageRead::Read;
}

bool CRegisterTableModel::canFetchMore(const QModelIndex& parent) const {
    // Never inside a call that waits: the view asks again as it scrolls.
    return !parent.isValid() && More() && !m_fetching && !CStationBusy::Waiting();
}

void CRegisterTableModel::fetchMore(const QModelIndex& parent) {
    if (!canFetchMore(parent)) return;
    std::vector<station::RegisterEntry> page;
    m_fetching = true;
    const PageRead read = ReadPage(page);
    m_fetching = false;
    if (read == PageRead::Failed) Q_EMIT FetchFailed(m_lastError);
    if (read != PageRead::Read || page.empty()) return;
    const int first = static_cast<int>(m_entries.size());
    beginInsertRows(QModelIndex(), first, first + static_cast<int>(page.size()) - 1);
    for (station::RegisterEntry& row : page) m_entries.push_back(std::move(row));
    endInsertRows();
}

int CRegisterTableModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : static_cast<int>(m_entries.size());
}

int CRegisterTableModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : kColumnCount;
}

QVariant CRegisterTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rowCount()) return {};
    const station::RegisterEntry& entry = m_entries[static_cast<std::size_t>(index.row())];
    if (role == Qt::DisplayRole) return Text(entry, index.column());
    if (role == Qt::TextAlignmentRole) {
        const bool numeric =
            index.column() == kNumber || index.column() == kFacility || index.column() == kExtra;
        return QVariant::fromValue(Qt::AlignVCenter | (numeric ? Qt::AlignRight : Qt::AlignLeft));
    }
    return {};
}

QString CRegisterTableModel::Text(const station::RegisterEntry& entry, int column) const {
    switch (column) {
        case kNumber:
            return QString::number(entry.fields.number);
        case kFormat:
            return IsCardFormat(entry.format)
                       ? QString::fromLatin1(kCardFormats[entry.format].logName)
                       : entry.formatText;  // a newer program's format, as stored
        case kFacility:
            return FormatHasFacility(entry.format) ? QString::number(entry.fields.facility)
                                                   : QString();
        case kExtra:
            return FormatHasFixedField(entry.format) ? QString::number(entry.fields.fixed)
                                                     : QString();
        case kChip:
            // A chip a newer program stored and this one does not know shows as stored.
            if (!entry.chipText.isEmpty() &&
                station::ChipOfCommandName(entry.chipText.toStdString()) < 0)
                return entry.chipText;
            return ChipName(entry.chipType).trimmed();
        case kChipId:
            return entry.uid;
        case kLocked:
            return YesNoText(entry.locked);
        case kVerified:
            return YesNoText(entry.verified);
        case kReissue:
            return YesNoText(entry.reissue);
        case kState:
            return RegisterStateText(entry);
        case kTime:
            return RegisterTimeText(entry.time);
        case kStation:
            return entry.station;
        case kOperator:
            return entry.operatorName;
        default:
            return {};
    }
}

QVariant CRegisterTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole) return {};
    if (orientation == Qt::Vertical) return section + 1;
    if (section < 0 || section >= kColumnCount) return {};
    return LoadString(kHeaderIds[section]);
}
