#include "StatusLine.h"

#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>

namespace {

// The gap a line edit keeps between its frame and its text.
constexpr int kTextGap = 2;

}  // namespace

CStatusLine::CStatusLine(QWidget* parent) : QLineEdit(parent) {}

QRect CStatusLine::TextArea() const {
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    const QRect contents = style()->subElementRect(QStyle::SE_LineEditContents, &panel, this);
    return contents.marginsRemoved(textMargins()).adjusted(kTextGap, 0, -kTextGap, 0);
}

QString CStatusLine::ShownText() const {
    return fontMetrics().elidedText(text(), Qt::ElideRight, TextArea().width());
}

void CStatusLine::paintEvent(QPaintEvent* event) {
    if (hasFocus()) {
        QLineEdit::paintEvent(event);
        return;
    }
    QPainter painter(this);
    QStyleOptionFrame panel;
    initStyleOption(&panel);
    style()->drawPrimitive(QStyle::PE_PanelLineEdit, &panel, &painter, this);
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                   QPalette::Text));
    painter.drawText(TextArea(), Qt::AlignLeft | Qt::AlignVCenter, ShownText());
}
