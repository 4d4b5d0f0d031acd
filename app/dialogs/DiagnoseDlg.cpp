#include "DiagnoseDlg.h"

#include <QApplication>
#include <QBoxLayout>
#include <QClipboard>
#include <QColor>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>

#include "RegisterSettingsStore.h"
#include "StringTable.h"

namespace {

constexpr int IDS_DIAGNOSE_BUTTON = 11950;
constexpr int IDS_DIAGNOSE_TITLE = 11951;
constexpr int IDS_DIAGNOSE_INTRO = 11952;
constexpr int IDS_COLUMN_VERDICT = 11953;
constexpr int IDS_COLUMN_CHECK = 11954;
constexpr int IDS_COLUMN_FINDING = 11955;
constexpr int IDS_COLUMN_FIX = 11956;
constexpr int IDS_VERDICT_OK = 11957;
constexpr int IDS_VERDICT_PROBLEM = 11958;
constexpr int IDS_VERDICT_CANNOT_TELL = 11959;
constexpr int IDS_CHECK_AGAIN = 11960;
constexpr int IDS_COPY = 11961;
constexpr int IDS_CLOSE = 11962;
constexpr int IDS_NO_PROBLEM = 11963;
constexpr int IDS_PROBLEMS = 11964;
constexpr int IDS_CHECKING = 11965;

constexpr int kFormatCodeRange = 100;

QString VerdictText(station::Verdict verdict) {
    switch (verdict) {
        case station::Verdict::Ok:
            return LoadString(IDS_VERDICT_OK);
        case station::Verdict::Problem:
            return LoadString(IDS_VERDICT_PROBLEM);
        case station::Verdict::CannotTell:
            break;
    }
    return LoadString(IDS_VERDICT_CANNOT_TELL);
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

CDiagnoseDlg::CDiagnoseDlg(QWidget* parent, station::DoctorRequest request)
    : QDialog(parent), m_request(std::move(request)) {
    setObjectName(QStringLiteral("diagnoseDialog"));
    setWindowTitle(LoadString(IDS_DIAGNOSE_TITLE));
    auto* layout = new QVBoxLayout(this);
    auto* intro = new QLabel(LoadString(IDS_DIAGNOSE_INTRO), this);
    intro->setWordWrap(true);
    layout->addWidget(intro);
    m_list = new QTreeWidget(this);
    m_list->setObjectName(QStringLiteral("diagnoseLines"));
    m_list->setRootIsDecorated(false);
    m_list->setWordWrap(true);
    m_list->setHeaderLabels({LoadString(IDS_COLUMN_VERDICT), LoadString(IDS_COLUMN_CHECK),
                             LoadString(IDS_COLUMN_FINDING), LoadString(IDS_COLUMN_FIX)});
    m_list->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    layout->addWidget(m_list, 1);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("diagnoseSummary"));
    layout->addWidget(m_summary);

    auto* buttons = new QHBoxLayout();
    auto* again = new QPushButton(LoadString(IDS_CHECK_AGAIN), this);
    again->setObjectName(QStringLiteral("buttonCheckAgain"));
    auto* copy = new QPushButton(LoadString(IDS_COPY), this);
    copy->setObjectName(QStringLiteral("buttonCopy"));
    auto* close = new QPushButton(LoadString(IDS_CLOSE), this);
    close->setObjectName(QStringLiteral("buttonClose"));
    close->setDefault(true);
    buttons->addWidget(again);
    buttons->addWidget(copy);
    buttons->addStretch(1);
    buttons->addWidget(close);
    layout->addLayout(buttons);
    connect(again, &QPushButton::clicked, this, &CDiagnoseDlg::Diagnose);
    connect(copy, &QPushButton::clicked, this,
            [this] { QGuiApplication::clipboard()->setText(LinesText()); });
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    resize(900, 420);
    m_summary->setText(LoadString(IDS_CHECKING));
    // The window shows first; the checks wait for the reader with the station's wait hooks.
    QTimer::singleShot(0, this, &CDiagnoseDlg::Diagnose);
}

void CDiagnoseDlg::Diagnose() {
    m_summary->setText(LoadString(IDS_CHECKING));
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_lines = station::RunDoctor(m_request);
    QApplication::restoreOverrideCursor();
    m_list->clear();
    int problems = 0;
    for (const station::DoctorLine& line : m_lines) {
        auto* item = new QTreeWidgetItem(
            m_list, {VerdictText(line.verdict), Text(line.check),
                     Text(line.subject) + QStringLiteral(": ") + Text(line.finding), Text(line.fix)});
        item->setData(0, Qt::UserRole, static_cast<int>(line.verdict));
        if (line.verdict == station::Verdict::Problem) {
            ++problems;
            item->setForeground(0, QColor(Qt::red));
        }
    }
    m_summary->setText(problems == 0 ? LoadString(IDS_NO_PROBLEM)
                                     : LoadString(IDS_PROBLEMS).arg(problems));
}

QString CDiagnoseDlg::LinesText() const {
    QString text;
    for (const station::DoctorLine& line : m_lines) {
        text += Text(station::VerdictWord(line.verdict)).leftJustified(12) +
                Text(line.check).leftJustified(16) + Text(line.subject) + QStringLiteral(": ") +
                Text(line.finding) + u'\n';
        if (!line.fix.empty()) text += QString(28, u' ') + QStringLiteral("fix: ") + Text(line.fix) + u'\n';
    }
    return text;
}

station::DoctorRequest DiagnoseRequest(const QString& entry, int storedBaud, unsigned timeoutMs,
                                       bool lan) {
    QString name = entry;
    for (const QString& prefix : {QStringLiteral("USB: "), QStringLiteral("LAN: ")}) {
        if (name.startsWith(prefix)) name = name.mid(prefix.size());
    }
    if (const qsizetype bracket = name.indexOf(QStringLiteral(" [")); bracket > 0)
        name.truncate(bracket);
    station::DoctorRequest request;
    request.port = name.toStdString();
    request.checkLine = !name.isEmpty();
    const int baud = storedBaud - storedBaud % kFormatCodeRange;
    request.baud = baud > 0 ? baud : 19200;
    request.timeoutMs = static_cast<int>(timeoutMs);
    request.lan = lan;
    request.cardRegister = ReadRegisterSettings();
    return request;
}

void AddDiagnoseButton(QWidget* dialog, QBoxLayout* buttons,
                       std::function<station::DoctorRequest()> request) {
    auto* button = new QPushButton(LoadString(IDS_DIAGNOSE_BUTTON), dialog);
    button->setObjectName(QStringLiteral("buttonDiagnose"));
    button->setAutoDefault(false);
    buttons->insertWidget(0, button);
    QObject::connect(button, &QPushButton::clicked, dialog, [dialog, request = std::move(request)] {
        CDiagnoseDlg diagnosis(dialog, request());
        diagnosis.exec();
    });
}
