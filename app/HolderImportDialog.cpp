#include "HolderImportDialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ControlId.h"
#include "RegisterText.h"
#include "StringTable.h"
#include "station/register/CardRegister.h"

using namespace station;

namespace {

constexpr int kStrTitle = 11500;
constexpr int kStrFile = 11501;
constexpr int kStrEncoding = 11502;
constexpr int kStrAutomatic = 11503;
constexpr int kStrSeparator = 11504;
constexpr int kStrTab = 11505;
constexpr int kStrNoColumn = 11506;
constexpr int kStrFieldFirst = 11507;  // 11507..11512 in kHolderFields' order
constexpr int kStrMarkLeft = 11513;
constexpr int kStrLine = 11514;
constexpr int kStrAction = 11515;
constexpr int kStrAdded = 11516;
constexpr int kStrChanged = 11517;
constexpr int kStrLeft = 11518;
constexpr int kStrRefused = 11519;
constexpr int kStrNote = 11520;
constexpr int kStrUnclosedQuote = 11521;
constexpr int kStrFieldCount = 11522;
constexpr int kStrNoPersonnelNumber = 11523;
constexpr int kStrNoName = 11524;
constexpr int kStrDuplicate = 11525;
constexpr int kStrSummary = 11526;
constexpr int kStrImport = 11527;
constexpr int kStrColumnsMissing = 11528;
constexpr int kStrRegisterFailed = 11529;
constexpr int kStrLeftCards = 11580;
constexpr int kStrBrokenUtf8 = 11583;
constexpr int kStrLeadingZeros = 11584;
constexpr int kStrWarning = 11585;
constexpr int kStrCancel = 11259;

constexpr int kPreviewLines = 10;

QString ProblemText(const HolderLineProblem& problem, int headerFields) {
    using Kind = HolderLineProblem::Kind;
    switch (problem.kind) {
        case Kind::UnclosedQuote:
            return LoadString(kStrUnclosedQuote);
        case Kind::FieldCount:
            return LoadString(kStrFieldCount).arg(problem.count).arg(headerFields);
        case Kind::NoPersonnelNumber:
            return LoadString(kStrNoPersonnelNumber);
        case Kind::NoName:
            return LoadString(kStrNoName);
        case Kind::DuplicatePersonnelNumber:
            return LoadString(kStrDuplicate).arg(problem.other);
        case Kind::Register:
            return problem.reason;
    }
    return {};
}

QTableWidget* MakeTable(QWidget* parent, int id) {
    auto* table = new QTableWidget(parent);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::NoSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    // At least a few lines in sight, however small the dialog.
    table->setMinimumHeight(table->horizontalHeader()->sizeHint().height() +
                            4 * table->verticalHeader()->defaultSectionSize());
    SetControlId(table, id);
    return table;
}

void AddRow(QTableWidget* table, const QStringList& cells) {
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < cells.size(); ++column)
        table->setItem(row, column, new QTableWidgetItem(cells[column]));
}

}  // namespace

CHolderImportDialog::CHolderImportDialog(CCardRegister& cardRegister, QWidget* parent)
    : QDialog(parent), m_register(cardRegister) {
    setWindowTitle(LoadString(kStrTitle));

    // A path typed (or pasted) is read when the field is left or Enter is pressed.
    m_file = new QLineEdit(this);
    SetControlId(m_file, IDC_FILE);
    connect(m_file, &QLineEdit::editingFinished, this, [this] {
        const QString path = m_file->text().trimmed();
        if (!path.isEmpty() && (path != m_loadedPath || !m_loaded)) LoadFile(path);
    });
    auto* choose = new QPushButton(QStringLiteral("..."), this);
    choose->setAutoDefault(false);
    SetControlId(choose, IDC_CHOOSE);
    connect(choose, &QPushButton::clicked, this, &CHolderImportDialog::ChooseFile);
    auto* fileRow = new QHBoxLayout;
    fileRow->addWidget(m_file);
    fileRow->addWidget(choose);

    m_encoding = new QComboBox(this);
    m_encoding->addItem(LoadString(kStrAutomatic), static_cast<int>(CsvEncoding::Detect));
    m_encoding->addItem(QStringLiteral("UTF-8"), static_cast<int>(CsvEncoding::Utf8));
    m_encoding->addItem(QStringLiteral("Windows-1252"), static_cast<int>(CsvEncoding::Windows1252));
    SetControlId(m_encoding, IDC_ENCODING);
    m_separator = new QComboBox(this);
    m_separator->addItem(LoadString(kStrAutomatic), QString());
    m_separator->addItem(QStringLiteral(";"), QStringLiteral(";"));
    m_separator->addItem(QStringLiteral(","), QStringLiteral(","));
    m_separator->addItem(LoadString(kStrTab), QStringLiteral("\t"));
    SetControlId(m_separator, IDC_SEPARATOR);
    connect(m_encoding, &QComboBox::currentIndexChanged, this, &CHolderImportDialog::ReadAgain);
    connect(m_separator, &QComboBox::currentIndexChanged, this, &CHolderImportDialog::ReadAgain);

    auto* form = new QFormLayout;
    form->addRow(LoadString(kStrFile), fileRow);
    form->addRow(LoadString(kStrEncoding), m_encoding);
    form->addRow(LoadString(kStrSeparator), m_separator);
    for (int field = 0; field < kHolderFieldCount; ++field) {
        m_columns[field] = new QComboBox(this);
        SetControlId(m_columns[field], IDC_FIRST_COLUMN + field);
        connect(m_columns[field], &QComboBox::currentIndexChanged, this,
                &CHolderImportDialog::ColumnsChanged);
        form->addRow(LoadString(kStrFieldFirst + field), m_columns[field]);
    }
    m_markLeft = new QCheckBox(LoadString(kStrMarkLeft), this);
    SetControlId(m_markLeft, IDC_MARK_LEFT);
    connect(m_markLeft, &QCheckBox::toggled, this, &CHolderImportDialog::ShowPlan);

    m_lines = MakeTable(this, IDC_LINES);
    m_plan = MakeTable(this, IDC_PLAN);
    m_plan->setColumnCount(6);
    m_plan->setHorizontalHeaderLabels({LoadString(kStrLine), LoadString(kStrAction),
                                       LoadString(kStrFieldFirst), LoadString(kStrFieldFirst + 1),
                                       LoadString(kStrFieldFirst + 4), LoadString(kStrNote)});
    m_summary = new QLabel(this);
    m_summary->setWordWrap(true);
    SetControlId(m_summary, IDC_SUMMARY);

    m_importButton = new QPushButton(LoadString(kStrImport), this);
    m_importButton->setEnabled(false);
    m_importButton->setAutoDefault(false);
    SetControlId(m_importButton, IDC_IMPORT);
    connect(m_importButton, &QPushButton::clicked, this, &CHolderImportDialog::ImportList);
    auto* cancel = new QPushButton(LoadString(kStrCancel), this);
    // Enter in the file field reads the file; it must not cancel the dialog.
    cancel->setAutoDefault(false);
    SetControlId(cancel, IDCANCEL);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_summary, 1);
    buttons->addWidget(m_importButton);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_markLeft);
    layout->addWidget(m_lines, 1);
    layout->addWidget(m_plan, 2);
    layout->addLayout(buttons);
    resize(760, 620);
}

void CHolderImportDialog::ChooseFile() {
    const QString path = QFileDialog::getOpenFileName(this, LoadString(kStrTitle), QString(),
                                                      QStringLiteral("CSV (*.csv *.txt);;* (*)"));
    if (!path.isEmpty()) LoadFile(path);
}

bool CHolderImportDialog::LoadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_summary->setText(path + QStringLiteral(": ") + file.errorString());
        return false;
    }
    m_bytes = file.readAll();
    m_loadedPath = path;
    m_file->setText(path);
    m_loaded = true;
    ReadAgain();
    return true;
}

CsvReadOptions CHolderImportDialog::ReadOptions() const {
    CsvReadOptions options;
    options.encoding = static_cast<CsvEncoding>(m_encoding->currentData().toInt());
    const QString separator = m_separator->currentData().toString();
    if (!separator.isEmpty()) options.separator = separator[0];
    return options;
}

void CHolderImportDialog::ReadAgain() {
    if (!m_loaded || m_filling) return;
    m_import.Read(m_bytes, ReadOptions());
    // The first lines as the file has them, so the operator sees whether encoding and
    // separator are right.
    const QStringList header = m_import.Header();
    m_lines->clear();
    m_lines->setRowCount(0);
    m_lines->setColumnCount(static_cast<int>(header.size()));
    m_lines->setHorizontalHeaderLabels(header);
    const auto& records = m_import.Table().records;
    for (size_t i = 1; i < records.size() && i <= kPreviewLines; ++i)
        AddRow(m_lines, records[i].fields);
    FillColumns();
    ShowPlan();
}

void CHolderImportDialog::FillColumns() {
    m_filling = true;
    const QStringList header = m_import.Header();
    for (int field = 0; field < kHolderFieldCount; ++field) {
        QComboBox* combo = m_columns[field];
        combo->clear();
        combo->addItem(LoadString(kStrNoColumn), -1);
        for (int column = 0; column < header.size(); ++column)
            combo->addItem(header[column], column);
        combo->setCurrentIndex(combo->findData(m_import.Columns().columns[field]));
    }
    m_filling = false;
}

void CHolderImportDialog::ColumnsChanged() {
    if (m_filling || !m_loaded) return;
    HolderColumnMap map;
    for (int field = 0; field < kHolderFieldCount; ++field)
        map.columns[field] = m_columns[field]->currentData().toInt();
    m_import.SetColumns(map);
    ShowPlan();
}

void CHolderImportDialog::ShowPlan() {
    m_plan->setRowCount(0);
    m_importButton->setEnabled(false);
    if (!m_loaded) return;
    HolderImportPlan plan;
    const HolderListImportResult result = m_import.Plan(m_register, m_markLeft->isChecked(), plan);
    if (result == HolderListImportResult::ColumnsMissing ||
        result == HolderListImportResult::NoHeader) {
        m_summary->setText(LoadString(kStrColumnsMissing));
        return;
    }
    if (result == HolderListImportResult::RegisterFailed) {
        m_summary->setText(LoadString(kStrRegisterFailed).arg(m_register.LastError()));
        return;
    }
    const int headerFields = static_cast<int>(m_import.Header().size());
    for (const HolderLineProblem& problem : m_import.Problems())
        AddRow(m_plan, {QString::number(problem.line),
                        LoadString(kStrRefused),
                        {},
                        {},
                        {},
                        ProblemText(problem, headerFields)});
    // A personnel number the list's spreadsheet shortened is added as written, but shown.
    for (const auto& alike : plan.leadingZeros)
        AddRow(m_plan, {QString::number(alike.line),
                        LoadString(kStrWarning),
                        alike.given,
                        {},
                        {},
                        LoadString(kStrLeadingZeros).arg(alike.stored)});
    for (const HolderImportRow& row : plan.added)
        AddRow(m_plan, {QString::number(row.line),
                        LoadString(kStrAdded),
                        row.personnelNumber,
                        row.name,
                        row.department,
                        {}});
    for (const HolderImportRow& row : plan.changed)
        AddRow(m_plan, {QString::number(row.line),
                        LoadString(kStrChanged),
                        row.personnelNumber,
                        row.name,
                        row.department,
                        {}});
    for (const Holder& holder : plan.left) {
        // Their valid cards leave the access-control list for the block list until revoked.
        QStringList cards;
        for (const station::RegisterEntry& card : holder.validCards) cards << CardNameText(card);
        AddRow(m_plan, {{},
                        LoadString(kStrLeft),
                        holder.personnelNumber,
                        holder.name,
                        holder.department,
                        cards.isEmpty() ? QString()
                                        : LoadString(kStrLeftCards).arg(cards.join(u", "))});
    }
    QString summary = LoadString(kStrSummary)
                          .arg(plan.added.size())
                          .arg(plan.changed.size())
                          .arg(plan.unchanged.size())
                          .arg(plan.left.size())
                          .arg(m_import.Problems().size());
    if (const std::vector<int>& broken = m_import.Table().brokenUtf8Lines; !broken.empty()) {
        QStringList lines;
        for (std::size_t i = 0; i < broken.size() && i < 10; ++i)
            lines << QString::number(broken[i]);
        if (broken.size() > 10) lines << QStringLiteral("…");
        summary += u'\n' + LoadString(kStrBrokenUtf8).arg(lines.join(u", "));
    }
    m_summary->setText(summary);
    const bool changes = !plan.added.empty() || !plan.changed.empty() || !plan.left.empty();
    m_importButton->setEnabled(result == HolderListImportResult::Imported && changes);
}

void CHolderImportDialog::ImportList() {
    HolderImportPlan plan;
    const HolderListImportResult result = m_import.Apply(m_register, m_markLeft->isChecked(), plan);
    if (result == HolderListImportResult::Imported) {
        m_imported = plan;
        accept();
        return;
    }
    // Another station changed the register meanwhile, or it failed: show why, store nothing.
    ShowPlan();
    if (result == HolderListImportResult::RegisterFailed)
        m_summary->setText(LoadString(kStrRegisterFailed).arg(m_register.LastError()));
}
