#include "RegisterDlg.h"

#include <QAction>
#include <QHeaderView>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QScreen>
#include <QTableWidget>
#include <algorithm>

#include "CardFormats.h"
#include "ChipTypes.h"
#include "CsvSaveDialog.h"
#include "MessageBox.h"
#include "RegisterExportJob.h"
#include "RegisterText.h"
#include "ResolveCardDlg.h"
#include "RevokeCardDlg.h"
#include "StationBusy.h"
#include "StringTable.h"
#include "WindowPlacement.h"
#include "station/register/CardRegister.h"
#include "ui_RegisterDlg.h"

namespace {

constexpr int kStrRegisterFailed = 11123;
constexpr int kStrCannotWrite = 11127;
constexpr int kStrCannotRead = 11128;
constexpr int kStrExportFile = 11904;
constexpr int kStrValidHeading = 11919;
constexpr int kStrCardsHeading = 11918;
constexpr int kStrExportTitle = 11129;
constexpr int kStrRegister = 11120;
constexpr int kStrFormat = 11131;
constexpr int kStrChip = 11134;
constexpr int kStrChipId = 11135;
constexpr int kStrState = 11139;
constexpr int kStrTime = 11140;
constexpr int kStrStation = 11141;
constexpr int kStrOperator = 11142;
constexpr int kStrEntries = 11147;
constexpr int kStrAtLeastEntries = 11400;
constexpr int kStrRevokeMenu = 11252;
constexpr int kStrResolveMenu = 11253;
constexpr int kStrReleaseRisk = 11582;
constexpr int kStrEvent = 11254;
constexpr int kStrReason = 11265;
constexpr int kStrNotOnChip = 11266;
constexpr int kStrReadCard = 11267;
constexpr int kStrNoReader = 11268;

using State = station::RegisterEntry::State;

// Rows one text line high, so that a small screen shows as many as it can.
void SingleLineRows(QTableView* table) {
    table->verticalHeader()->setVisible(false);
    table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->verticalHeader()->setDefaultSectionSize(table->fontMetrics().height() + 6);
    table->horizontalHeader()->setStretchLastSection(true);
}

void FillTable(QTableWidget* table, const QList<int>& headerIds,
               const std::vector<QStringList>& rows) {
    QStringList headers;
    for (const int id : headerIds) headers << LoadString(id);
    table->clear();
    table->setColumnCount(static_cast<int>(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->setRowCount(static_cast<int>(rows.size()));
    for (int row = 0; row < table->rowCount(); ++row) {
        const QStringList& cells = rows[static_cast<std::size_t>(row)];
        for (int column = 0; column < cells.size(); ++column)
            table->setItem(row, column, new QTableWidgetItem(cells[column]));
    }
    table->resizeColumnsToContents();
}

// Whether the fields read from a chip are the card's, in the fields its format has.
bool SameCard(const station::RegisterEntry& card, const station::CardFields& read) {
    return read.number == card.fields.number &&
           (!FormatHasFacility(card.format) || read.facility == card.fields.facility) &&
           (!FormatHasFixedField(card.format) || read.fixed == card.fields.fixed);
}

// The register's place for the title: its file, or the server and database.
QString RegisterPlace(const station::CCardRegister& cardRegister) {
    if (cardRegister.Settings().kind == station::RegisterSettings::Kind::SQLite)
        return station::RegisterFile(cardRegister.Settings());
    return cardRegister.Where();
}

}  // namespace

CRegisterDlg::CRegisterDlg(station::CCardRegister& cardRegister, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CRegisterDlg>()), m_register(cardRegister) {
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    setModal(false);
    setWindowTitle(LoadString(kStrRegister) + QStringLiteral(" – ") + RegisterPlace(m_register));
    m_ui->numberEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,18}"), this));
    m_ui->registerTable->setModel(&m_rows);
    SingleLineRows(m_ui->registerTable);
    SingleLineRows(m_ui->cardsTable);
    SingleLineRows(m_ui->historyTable);
    m_ui->splitter->setStretchFactor(0, 3);
    m_ui->splitter->setStretchFactor(1, 2);
    ClearCardPane();
    const QDate today = QDate::currentDate();
    m_ui->fromDate->setDate(today);
    m_ui->toDate->setDate(today);
    EnableDates();

    // The window's commands wait while the station is busy, a register call of its own
    // included (StationBusy.h).
    const auto whenIdle = [this](auto action) { return CStationBusy::WhenIdle(this, action); };
    m_rowMenu = new QMenu(this);
    m_revokeAction = m_rowMenu->addAction(LoadString(kStrRevokeMenu));
    m_resolveAction = m_rowMenu->addAction(LoadString(kStrResolveMenu));
    connect(m_revokeAction, &QAction::triggered, this, whenIdle([this] { OnRevoke(); }));
    connect(m_resolveAction, &QAction::triggered, this, whenIdle([this] { OnResolve(); }));
    connect(m_ui->registerTable, &QWidget::customContextMenuRequested, this,
            &CRegisterDlg::OnRowMenu);
    connect(m_ui->registerTable->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            whenIdle([this] { ShowSelectedCard(); }));

    connect(m_ui->fromCheck, &QCheckBox::toggled, this, &CRegisterDlg::EnableDates);
    connect(m_ui->toCheck, &QCheckBox::toggled, this, &CRegisterDlg::EnableDates);
    connect(m_ui->showButton, &QPushButton::clicked, this, whenIdle([this] { ShowRows(); }));
    connect(m_ui->numberEdit, &QLineEdit::returnPressed, this, whenIdle([this] { ShowRows(); }));
    connect(m_ui->uidEdit, &QLineEdit::returnPressed, this, whenIdle([this] { ShowRows(); }));
    connect(m_ui->exportButton, &QPushButton::clicked, this, whenIdle([this] { OnExport(); }));
    m_export = new CRegisterExportJob(this);
    connect(m_export, &CRegisterExportJob::Progress, this, &CRegisterDlg::OnExportProgress);
    connect(m_export, &CRegisterExportJob::Finished, this, &CRegisterDlg::OnExportFinished);
    connect(m_ui->exportCancelButton, &QPushButton::clicked, this,
            whenIdle([this] { m_export->Cancel(); }));
    ShowExportRunning(false);
    // Pages read as the table scrolls.
    connect(&m_rows, &QAbstractItemModel::rowsInserted, this, &CRegisterDlg::ShowCount);
    connect(&m_rows, &CRegisterTableModel::FetchFailed, this, [this](const QString& reason) {
        m_ui->countLabel->setText(LoadString(kStrCannotRead).arg(reason));
    });
    connect(m_ui->closeButton, &QPushButton::clicked, this, whenIdle([this] { reject(); }));
}

CRegisterDlg::~CRegisterDlg() = default;

void CRegisterDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        ShowRows();
    }
    QDialog::showEvent(event);
}

void CRegisterDlg::EnableDates() {
    m_ui->fromDate->setEnabled(m_ui->fromCheck->isChecked());
    m_ui->toDate->setEnabled(m_ui->toCheck->isChecked());
}

station::RegisterFilter CRegisterDlg::Filter() const {
    station::RegisterFilter filter;
    const QString number = m_ui->numberEdit->text().trimmed();
    if (!number.isEmpty()) filter.number = number.toLongLong();
    filter.uid = m_ui->uidEdit->text().trimmed();
    // The register keeps UTC times, the operator means local days.
    if (m_ui->fromCheck->isChecked())
        filter.since = QDateTime(m_ui->fromDate->date(), QTime(0, 0)).toUTC();
    if (m_ui->toCheck->isChecked())
        filter.until = QDateTime(m_ui->toDate->date().addDays(1), QTime(0, 0)).toUTC();
    return filter;
}

bool CRegisterDlg::LoadRows(QString& error) {
    const std::optional<station::RegisterEntry> selected = SelectedEntry();
    if (!m_rows.Load(m_register, Filter())) {
        error = LoadString(kStrCannotRead).arg(m_rows.LastError());
        m_rows.Clear();
        ClearCardPane();
        return false;
    }
    ShowCount();
    m_ui->registerTable->resizeColumnsToContents();
    if (selected) SelectEntry(selected->id);
    ShowSelectedCard();
    return true;
}

void CRegisterDlg::ShowCount() {
    // Counting a million rows would cost what paging saves: while pages remain, the rows
    // read so far are a lower bound.
    m_ui->countLabel->setText(
        LoadString(m_rows.More() ? kStrAtLeastEntries : kStrEntries).arg(m_rows.rowCount()));
}

bool CRegisterDlg::ShowRows() {
    QString error;
    if (LoadRows(error)) return true;
    m_ui->countLabel->setText(LoadString(kStrEntries).arg(0));
    ShowMessage(error, MessageIcon::Error);
    return false;
}

void CRegisterDlg::Refresh() {
    QString error;
    if (!LoadRows(error)) m_ui->countLabel->setText(error);
}

std::optional<station::RegisterEntry> CRegisterDlg::SelectedEntry() const {
    const QModelIndexList selected = m_ui->registerTable->selectionModel()->selectedRows();
    if (selected.isEmpty()) return std::nullopt;
    const int row = selected.constFirst().row();
    if (row < 0 || row >= m_rows.rowCount()) return std::nullopt;
    return m_rows.Entries()[static_cast<std::size_t>(row)];
}

void CRegisterDlg::SelectEntry(std::int64_t id) {
    const auto& entries = m_rows.Entries();
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [id](const station::RegisterEntry& e) { return e.id == id; });
    if (found == entries.end()) return;
    const QSignalBlocker blocker(m_ui->registerTable->selectionModel());
    m_ui->registerTable->selectRow(static_cast<int>(found - entries.begin()));
}

void CRegisterDlg::ClearCardPane() {
    m_ui->groupCard->setTitle(QString());
    FillTable(m_ui->cardsTable, {kStrState, kStrChip, kStrChipId, kStrTime, kStrStation}, {});
    FillTable(m_ui->historyTable,
              {kStrTime, kStrEvent, kStrReason, kStrStation, kStrOperator, kStrChipId}, {});
}

void CRegisterDlg::ShowSelectedCard() {
    const std::optional<station::RegisterEntry> entry = SelectedEntry();
    ClearCardPane();
    if (!entry || !IsCardFormat(entry->format)) return;
    const auto cards = m_register.FindCard(entry->format, entry->fields);
    const auto history = m_register.History(entry->format, entry->fields);
    if (!cards || !history) {
        m_ui->groupCard->setTitle(LoadString(kStrCannotRead).arg(m_register.LastError()));
        return;
    }
    m_ui->groupCard->setTitle(CardNameText(*entry));
    // The valid card comes first, the cards it replaced below it.
    std::vector<QStringList> cardRows;
    for (const station::RegisterEntry& card : *cards)
        cardRows.push_back({RegisterStateText(card), ChipName(card.chipType).trimmed(), card.uid,
                            RegisterTimeText(card.time), card.station});
    FillTable(m_ui->cardsTable, {kStrState, kStrChip, kStrChipId, kStrTime, kStrStation}, cardRows);
    // The heading speaks of a valid card only where the number has one.
    const bool valid = !cards->empty() &&
                       (cards->front().state == station::RegisterEntry::State::Written ||
                        cards->front().state == station::RegisterEntry::State::Unverified);
    m_ui->labelValid->setText(LoadString(valid ? kStrValidHeading : kStrCardsHeading));
    std::vector<QStringList> eventRows;
    for (const station::RegisterEvent& event : *history)
        eventRows.push_back({RegisterTimeText(event.time), RegisterEventText(event.kind),
                             RegisterReasonText(event.reason), event.station, event.operatorName,
                             event.uid});
    // The reason beside the event, and the newest event in sight.
    FillTable(m_ui->historyTable,
              {kStrTime, kStrEvent, kStrReason, kStrStation, kStrOperator, kStrChipId}, eventRows);
    m_ui->historyTable->scrollToBottom();
}

void CRegisterDlg::OnRowMenu(const QPoint& position) {
    const QModelIndex index = m_ui->registerTable->indexAt(position);
    if (!index.isValid()) return;
    m_ui->registerTable->selectRow(index.row());
    m_menuEntry = m_rows.Entries()[static_cast<std::size_t>(index.row())];
    // Only what the card's state allows is offered.
    m_revokeAction->setEnabled(
        station::RefusedChange(m_menuEntry, station::CardChange::Revoke).isEmpty());
    m_resolveAction->setEnabled(
        station::RefusedChange(m_menuEntry, station::CardChange::ResolveReleased).isEmpty());
    m_rowMenu->popup(m_ui->registerTable->viewport()->mapToGlobal(position));
}

void CRegisterDlg::OnRevoke() {
    CRevokeCardDlg question(m_menuEntry, this);
    if (question.exec() != QDialog::Accepted) return;
    ChangeDone(m_register.Revoke(m_menuEntry.id, question.Reason()));
}

void CRegisterDlg::OnResolve() {
    const station::RegisterEntry card = m_menuEntry;
    CResolveCardDlg question(card, this);
    switch (question.exec()) {
        case CResolveCardDlg::kReadBack: {
            QString uid;
            if (ReadBack(card, uid)) ChangeDone(m_register.ResolveConfirmed(card.id, uid));
            return;
        }
        case CResolveCardDlg::kRelease:
            // An unverified card's write went out: its chip may carry the number, which a
            // release would hand out again. Released only when the operator says so, knowing.
            if (card.state == station::RegisterEntry::State::Unverified &&
                !AskYesNo(LoadString(kStrReleaseRisk).arg(CardNameText(card)), false))
                return;
            ChangeDone(m_register.ResolveReleased(card.id));
            return;
        case CResolveCardDlg::kDestroyed:
            ChangeDone(m_register.ResolveDestroyed(card.id));
            return;
        default:
            return;
    }
}

bool CRegisterDlg::ReadBack(const station::RegisterEntry& card, QString& uid) {
    if (!m_chipReader) {
        ShowMessage(LoadString(kStrNoReader));
        return false;
    }
    const ChipReadBack chip = m_chipReader(card.format, card.chipType);
    QString why = chip.failure;
    if (chip.read && SameCard(card, chip.fields)) {
        uid = chip.uid;
        return true;
    }
    if (chip.read)
        why = LoadString(kStrReadCard)
                  .arg(CardNameText(card.format, card.formatText, chip.fields.facility,
                                    QString::number(chip.fields.number)));
    ShowMessage(LoadString(kStrNotOnChip).arg(CardNameText(card), why));
    return false;
}

void CRegisterDlg::ChangeDone(bool recorded) {
    if (!recorded)
        ShowMessage(LoadString(kStrRegisterFailed).arg(m_register.LastError()), MessageIcon::Error);
    Refresh();
}

void CRegisterDlg::OnExport() {
    const std::optional<CsvSaveChoice> file =
        ChooseCsvFile(this, LoadString(kStrExportTitle), QStringLiteral("exportFileDialog"),
                      LoadString(kStrExportFile));
    if (file) ExportTo(file->path, file->options);
}

bool CRegisterDlg::ExportTo(const QString& path, const station::CsvOptions& options) {
    CRegisterExportJob::Job job{m_register.Settings(), Filter(), options, path};
    if (ExportRunning() || !m_export->Start(job)) return false;
    m_exportPath = path;
    ShowExportRunning(true);
    return true;
}

bool CRegisterDlg::ExportRunning() const {
    return m_bExporting;
}

void CRegisterDlg::ShowExportRunning(bool running) {
    m_bExporting = running;
    m_ui->exportProgress->setVisible(running);
    m_ui->exportCancelButton->setVisible(running);
    m_ui->exportButton->setEnabled(!running);
    // Busy until the count is known.
    if (running) m_ui->exportProgress->setRange(0, 0);
}

void CRegisterDlg::OnExportProgress(qint64 rows, qint64 total) {
    QProgressBar* bar = m_ui->exportProgress;
    if (total <= 0) return;
    // The bar's range is an int; a register counts in 64 bits.
    constexpr qint64 kSteps = 1000;
    bar->setRange(0, static_cast<int>(kSteps));
    bar->setValue(static_cast<int>(std::min(rows, total) * kSteps / total));
}

void CRegisterDlg::OnExportFinished(bool written, qint64, const QString& error) {
    ShowExportRunning(false);
    if (written || error.isEmpty()) return;  // done, or cancelled by the operator
    ShowMessage(LoadString(kStrCannotWrite).arg(m_exportPath, error), MessageIcon::Error);
}
