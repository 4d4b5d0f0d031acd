// The holders window: the register's people and their cards, and the station's commands for
// them (a lost card, cards for everyone still without one).
#include "HoldersWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ControlId.h"
#include "CsvSaveDialog.h"
#include "MessageBox.h"
#include "RegisterExportJob.h"
#include "RegisterText.h"
#include "StationBusy.h"
#include "StringTable.h"
#include "dialogs/HolderEditDlg.h"
#include "station/register/CardRegister.h"

namespace {

constexpr int kStrTitle = 11530;
constexpr int kStrSearch = 11531;
constexpr int kStrDepartment = 11532;
constexpr int kStrAllDepartments = 11533;
constexpr int kStrWithoutCard = 11534;
constexpr int kStrPersonnelNumber = 11535;
constexpr int kStrName = 11536;
constexpr int kStrValidCard = 11537;
constexpr int kStrCard = 11538;
constexpr int kStrState = 11539;
constexpr int kStrTime = 11540;
constexpr int kStrEvent = 11541;
constexpr int kStrReason = 11542;
constexpr int kStrAdd = 11543;
constexpr int kStrEdit = 11544;
constexpr int kStrImport = 11545;
constexpr int kStrLost = 11546;
constexpr int kStrSeries = 11547;
constexpr int kStrCount = 11548;
constexpr int kStrCountOne = 11908;
constexpr int kStrDepartmentColumn = 11909;
constexpr int kStrValidFile = 11905;
constexpr int kStrBlockedFile = 11906;
constexpr int kStrCannotRead = 11549;
constexpr int kStrExportValid = 11570;
constexpr int kStrExportBlocked = 11571;
constexpr int kStrCannotWrite = 11127;

QTableWidget* MakeTable(QWidget* parent, int id, const QList<int>& headerIds) {
    auto* table = new QTableWidget(0, static_cast<int>(headerIds.size()), parent);
    SetControlId(table, id);
    QStringList headers;
    for (int headerId : headerIds) headers << LoadString(headerId);
    table->setHorizontalHeaderLabels(headers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    return table;
}

void SetRow(QTableWidget* table, int row, const QStringList& cells) {
    for (int column = 0; column < cells.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(cells[column]));
}

QPushButton* MakeButton(QWidget* parent, int id, int textId) {
    auto* button = new QPushButton(LoadString(textId), parent);
    SetControlId(button, id);
    button->setAutoDefault(false);
    return button;
}

}  // namespace

CHoldersWindow::CHoldersWindow(station::CCardRegister& cardRegister, QWidget* parent)
    : QDialog(parent), m_register(cardRegister) {
    setWindowTitle(LoadString(kStrTitle));
    BuildLayout();
    FillDepartments();
    Refresh();
}

CHoldersWindow::~CHoldersWindow() = default;

void CHoldersWindow::BuildLayout() {
    auto* layout = new QVBoxLayout(this);
    auto* filter = new QHBoxLayout;
    filter->addWidget(new QLabel(LoadString(kStrSearch), this));
    m_search = new QLineEdit(this);
    SetControlId(m_search, IDC_SEARCH);
    m_search->setClearButtonEnabled(true);
    filter->addWidget(m_search, 1);
    filter->addWidget(new QLabel(LoadString(kStrDepartment), this));
    m_department = new QComboBox(this);
    SetControlId(m_department, IDC_DEPARTMENT);
    filter->addWidget(m_department);
    m_withoutCard = new QCheckBox(LoadString(kStrWithoutCard), this);
    SetControlId(m_withoutCard, IDC_WITHOUT_CARD);
    filter->addWidget(m_withoutCard);
    layout->addLayout(filter);

    m_holders = MakeTable(this, IDC_HOLDERS,
                          {kStrPersonnelNumber, kStrName, kStrDepartmentColumn, kStrValidCard});
    layout->addWidget(m_holders, 3);
    m_count = new QLabel(this);
    SetControlId(m_count, IDC_COUNT);
    layout->addWidget(m_count);
    auto* details = new QHBoxLayout;
    m_cards = MakeTable(this, IDC_CARDS, {kStrCard, kStrState, kStrTime});
    m_history = MakeTable(this, IDC_HISTORY, {kStrTime, kStrEvent, kStrReason});
    details->addWidget(m_cards, 1);
    details->addWidget(m_history, 1);
    layout->addLayout(details, 2);

    auto* buttons = new QHBoxLayout;
    QPushButton* add = MakeButton(this, IDC_ADD, kStrAdd);
    m_edit = MakeButton(this, IDC_EDIT, kStrEdit);
    m_import = MakeButton(this, IDC_IMPORT, kStrImport);
    m_lost = MakeButton(this, IDC_LOST, kStrLost);
    m_series = MakeButton(this, IDC_SERIES, kStrSeries);
    for (QPushButton* button : {add, m_edit, m_import, m_lost, m_series}) buttons->addWidget(button);
    buttons->addStretch(1);
    layout->addLayout(buttons);
    // For the access-control system: who may enter, and which numbers it must refuse.
    auto* exports = new QHBoxLayout;
    m_exportValid = MakeButton(this, IDC_EXPORT_VALID, kStrExportValid);
    m_exportBlocked = MakeButton(this, IDC_EXPORT_BLOCKED, kStrExportBlocked);
    exports->addWidget(m_exportValid);
    exports->addWidget(m_exportBlocked);
    exports->addStretch(1);
    layout->addLayout(exports);
    m_export = new CRegisterExportJob(this);
    connect(m_export, &CRegisterExportJob::Finished, this,
            [this](bool written, qint64, const QString& error) {
                m_exportRunning = false;
                UpdateButtons();
                if (written || error.isEmpty()) return;
                ShowMessage(LoadString(kStrCannotWrite).arg(m_exportPath, error),
                            MessageIcon::Error);
            });
    // The window's commands wait while the station is busy, a register call of its own
    // included (StationBusy.h).
    const auto whenIdle = [this](auto action) { return CStationBusy::WhenIdle(this, action); };
    connect(m_exportValid, &QPushButton::clicked, this,
            whenIdle([this] { ExportForAccessControl(true); }));
    connect(m_exportBlocked, &QPushButton::clicked, this,
            whenIdle([this] { ExportForAccessControl(false); }));

    // Search as the operator types: every key reads the register again, which answers from
    // its index on the holders.
    connect(m_search, &QLineEdit::textChanged, this, whenIdle([this] { Refresh(); }));
    connect(m_department, &QComboBox::currentIndexChanged, this, whenIdle([this] { Refresh(); }));
    connect(m_withoutCard, &QCheckBox::toggled, this, whenIdle([this] { Refresh(); }));
    connect(m_holders, &QTableWidget::itemSelectionChanged, this, whenIdle([this] {
                ShowCards();
                UpdateButtons();
            }));
    connect(m_cards, &QTableWidget::itemSelectionChanged, this,
            whenIdle([this] { ShowHistory(); }));
    connect(add, &QPushButton::clicked, this, whenIdle([this] { EditHolder(true); }));
    connect(m_edit, &QPushButton::clicked, this, whenIdle([this] { EditHolder(false); }));
    connect(m_import, &QPushButton::clicked, this, whenIdle([this] {
                if (m_importHook) m_importHook();
                FillDepartments();
                Refresh();
            }));
    connect(m_lost, &QPushButton::clicked, this, whenIdle([this] {
                const station::Holder* holder = Selected();
                if (holder == nullptr || !m_lostHook) return;
                const station::Holder chosen = *holder;
                m_lostHook(chosen);
                Refresh();
            }));
    connect(m_series, &QPushButton::clicked, this, whenIdle([this] {
                if (m_seriesHook) m_seriesHook(m_department->currentData().toString());
            }));
    resize(760, 520);
}

void CHoldersWindow::SetLostCardHook(std::function<void(const station::Holder&)> hook) {
    m_lostHook = std::move(hook);
    UpdateButtons();
}

void CHoldersWindow::SetSeriesHook(std::function<void(const QString&)> hook) {
    m_seriesHook = std::move(hook);
    UpdateButtons();
}

void CHoldersWindow::SetImportHook(std::function<void()> hook) {
    m_importHook = std::move(hook);
    UpdateButtons();
}

void CHoldersWindow::UpdateButtons() {
    const station::Holder* holder = Selected();
    m_edit->setEnabled(holder != nullptr);
    m_lost->setEnabled(holder != nullptr && holder->validCard.has_value() && bool(m_lostHook));
    m_import->setEnabled(bool(m_importHook));
    m_series->setEnabled(bool(m_seriesHook));
    m_exportValid->setEnabled(!m_exportRunning);
    m_exportBlocked->setEnabled(!m_exportRunning);
}

void CHoldersWindow::ExportForAccessControl(bool valid) {
    if (m_exportRunning) return;
    const std::optional<CsvSaveChoice> file = ChooseCsvFile(
        this, LoadString(valid ? kStrExportValid : kStrExportBlocked).remove(QStringLiteral("...")),
        QStringLiteral("accessExportFileDialog"),
        LoadString(valid ? kStrValidFile : kStrBlockedFile));
    if (!file) return;
    CRegisterExportJob::Job job;
    job.settings = m_register.Settings();
    job.options = file->options;
    job.path = file->path;
    job.kind = valid ? CRegisterExportJob::Kind::ValidCards : CRegisterExportJob::Kind::BlockList;
    if (!m_export->Start(job)) return;
    m_exportPath = job.path;
    m_exportRunning = true;
    UpdateButtons();
}

void CHoldersWindow::FillDepartments() {
    const QString current = m_department->currentData().toString();
    const QSignalBlocker block(m_department);
    m_department->clear();
    m_department->addItem(LoadString(kStrAllDepartments), QString());
    if (const auto departments = m_register.Departments()) {
        for (const QString& department : *departments)
            if (!department.isEmpty()) m_department->addItem(department, department);
    }
    const int index = m_department->findData(current);
    m_department->setCurrentIndex(index < 0 ? 0 : index);
}

const station::Holder* CHoldersWindow::Selected() const {
    const int row = m_holders->currentRow();
    if (row < 0 || row >= static_cast<int>(m_shown.size())) return nullptr;
    if (m_holders->selectedItems().isEmpty()) return nullptr;
    return &m_shown[static_cast<std::size_t>(row)];
}

void CHoldersWindow::Refresh() {
    const station::Holder* selected = Selected();
    const std::int64_t selectedId = selected != nullptr ? selected->id : 0;
    station::HolderFilter filter;
    filter.text = m_search->text().trimmed();
    filter.department = m_department->currentData().toString();
    filter.withoutValidCard = m_withoutCard->isChecked();
    auto holders = m_register.Holders(filter);
    const QSignalBlocker block(m_holders);
    m_holders->clearSelection();
    m_shown.clear();
    if (!holders) {
        m_holders->setRowCount(0);
        m_count->setText(LoadString(kStrCannotRead).arg(m_register.LastError()));
    } else {
        m_shown = std::move(*holders);
        m_holders->setRowCount(static_cast<int>(m_shown.size()));
        for (int row = 0; row < static_cast<int>(m_shown.size()); ++row) {
            const station::Holder& holder = m_shown[static_cast<std::size_t>(row)];
            SetRow(m_holders, row,
                   {holder.personnelNumber, holder.name, holder.department,
                    holder.validCard ? CardNameText(*holder.validCard) : QString()});
            if (holder.id == selectedId) m_holders->selectRow(row);
        }
        // English has a singular of its own.
        m_count->setText(m_shown.size() == 1 ? LoadString(kStrCountOne)
                                             : LoadString(kStrCount).arg(m_shown.size()));
        // Wide enough for the headers and the card numbers, which end the card's text.
        m_holders->resizeColumnsToContents();
    }
    ShowCards();
    UpdateButtons();
}

void CHoldersWindow::ShowCards() {
    const QSignalBlocker block(m_cards);
    m_cards->setRowCount(0);
    m_history->setRowCount(0);
    m_holderCards.clear();
    const station::Holder* holder = Selected();
    if (holder == nullptr) return;
    auto cards = m_register.HolderCards(holder->id);
    if (!cards) {
        m_count->setText(LoadString(kStrCannotRead).arg(m_register.LastError()));
        return;
    }
    m_holderCards = std::move(*cards);
    m_cards->setRowCount(static_cast<int>(m_holderCards.size()));
    for (int row = 0; row < static_cast<int>(m_holderCards.size()); ++row) {
        const station::RegisterEntry& card = m_holderCards[static_cast<std::size_t>(row)];
        SetRow(m_cards, row,
               {CardNameText(card), RegisterStateText(card), RegisterTimeText(card.time)});
    }
    m_cards->resizeColumnsToContents();
}

void CHoldersWindow::ShowHistory() {
    m_history->setRowCount(0);
    const int row = m_cards->currentRow();
    if (row < 0 || row >= static_cast<int>(m_holderCards.size())) return;
    const auto events = m_register.History(m_holderCards[static_cast<std::size_t>(row)].id);
    if (!events) return;
    m_history->setRowCount(static_cast<int>(events->size()));
    for (int line = 0; line < static_cast<int>(events->size()); ++line) {
        const station::RegisterEvent& event = (*events)[static_cast<std::size_t>(line)];
        SetRow(m_history, line,
               {RegisterTimeText(event.time), RegisterEventText(event.kind),
                RegisterReasonText(event.reason)});
    }
}

void CHoldersWindow::EditHolder(bool add) {
    station::Holder holder;
    if (!add) {
        const station::Holder* selected = Selected();
        if (selected == nullptr) return;
        holder = *selected;
    }
    CHolderEditDlg dialog(m_register, holder, this);
    if (dialog.exec() != QDialog::Accepted) return;
    FillDepartments();
    // The holder saved is shown, even where the search would have hidden a new one.
    const QString number = dialog.Saved().personnelNumber;
    m_search->setText(number);
    Refresh();
    for (int row = 0; row < static_cast<int>(m_shown.size()); ++row)
        if (m_shown[static_cast<std::size_t>(row)].personnelNumber == number) m_holders->selectRow(row);
}
