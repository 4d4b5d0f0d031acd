#include "IPAddrSuche.h"

#include <QListWidget>
#include <QMetaObject>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <vector>

#include "LanAddressText.h"
#include "LanConfig.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "UiWait.h"
#include "ui_IPAddrSuche.h"
#include "vellf.h"

namespace {

constexpr int IDS_SEARCH_CAPTION = 10129;
constexpr int IDS_NOTHING_FOUND = 10131;

// Readers in the list's text colour, other devices in red italics.
class DeviceItemDelegate : public QStyledItemDelegate {
  public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        const bool other =
            index.data(CIPAddrSuche::kKindRole).toInt() == LanSearchItem::kOtherDevice;
        const bool selected = option.state.testFlag(QStyle::State_Selected);
        const QColor background =
            option.palette.color(selected ? QPalette::Highlight : QPalette::Base);
        const QColor text = selected ? option.palette.color(QPalette::HighlightedText)
                            : other  ? QColor(255, 0, 0)
                                     : option.palette.color(QPalette::Text);
        QFont font = option.font;
        font.setItalic(other);
        painter->save();
        painter->fillRect(option.rect, background);
        painter->setFont(font);
        painter->setPen(text);
        painter->drawText(option.rect.adjusted(kTextMargin, 0, -kTextMargin, 0),
                          Qt::AlignLeft | Qt::AlignVCenter, index.data().toString());
        painter->restore();
    }

    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        return {option.fontMetrics.horizontalAdvance(index.data().toString()) + 2 * kTextMargin,
                option.fontMetrics.height() + 4};
    }

  private:
    static constexpr int kTextMargin = 3;
};

// One SDK search into a fresh buffer.
QStringList Search(int (*search)(char*, int)) {
    std::vector<char> buffer(CIPAddrSuche::kListBufferSize, '\0');
    return ParseSdkTextList(buffer, search(buffer.data(), CIPAddrSuche::kListBufferSize));
}

}  // namespace

CIPAddrSuche::CIPAddrSuche(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CIPAddrSuche>()) {
    m_ui->setupUi(this);
    m_ui->listDevices->setItemDelegate(new DeviceItemDelegate(m_ui->listDevices));
    connect(m_ui->listDevices, &QListWidget::itemSelectionChanged, this,
            &CIPAddrSuche::OnSelectionChanged);
    connect(m_ui->buttonChangeAddress, &QPushButton::clicked, this, &CIPAddrSuche::OnChangeAddress);
    connect(m_ui->buttonClose, &QPushButton::clicked, this, &CIPAddrSuche::reject);
    m_ui->buttonChangeAddress->setEnabled(false);
}

CIPAddrSuche::~CIPAddrSuche() = default;

int CIPAddrSuche::exec() {
    // The window shows first, so the operator sees the search running.
    QMetaObject::invokeMethod(this, &CIPAddrSuche::OnInitDialog, Qt::QueuedConnection);
    return QDialog::exec();
}

void CIPAddrSuche::OnInitDialog() {
    if (!RefreshList()) return;
    m_minTrackSize = size();
    setMinimumSize(m_minTrackSize);
}

bool CIPAddrSuche::RefreshList() {
    setEnabled(false);
    m_ui->listDevices->clear();
    QList<LanSearchItem> items;
    for (;;) {
        {
            const WaitCursor wait;
            const QStringList readers = Search(LfFindLanReaders);
            items = MergeLanSearch(readers, Search(LfFindLanDevices));
        }
        if (!items.isEmpty()) break;
        if (!AskRetryCancel(LoadString(IDS_NOTHING_FOUND), LoadString(IDS_SEARCH_CAPTION))) {
            setEnabled(true);
            QDialog::reject();
            return false;
        }
    }
    for (const LanSearchItem& item : items) {
        auto* entry = new QListWidgetItem(item.text, m_ui->listDevices);
        entry->setData(kKindRole, item.kind);
    }
    setEnabled(true);
    m_ui->buttonChangeAddress->setEnabled(HasSelection());
    return true;
}

bool CIPAddrSuche::HasSelection() const {
    return !m_ui->listDevices->selectedItems().isEmpty();
}

void CIPAddrSuche::OnSelectionChanged() {
    m_ui->buttonChangeAddress->setEnabled(HasSelection());
}

void CIPAddrSuche::OnChangeAddress() {
    if (!HasSelection()) return;
    CLanConfig config(m_ui->listDevices->selectedItems().front()->text(), this);
    if (config.exec() != QDialog::Accepted) return;
    WaitWithEvents(kRefreshDelayMs);
    RefreshList();
}

void CIPAddrSuche::reject() {
    // Only a reader can be handed back; another device is listed for information.
    const QList<QListWidgetItem*> selected = m_ui->listDevices->selectedItems();
    if (!selected.isEmpty() && selected.front()->data(kKindRole).toInt() == LanSearchItem::kReader)
        m_strResult = selected.front()->text();
    QDialog::reject();
}
