#include "Label.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMouseEvent>
#include <QPalette>

#include "StringTable.h"

namespace {

CLabel::UrlOpener& Opener() {
    static CLabel::UrlOpener opener;
    return opener;
}

}  // namespace

CLabel::CLabel(QWidget* parent)
    : QLabel(parent), m_crText(palette().color(QPalette::WindowText)), m_lf(QApplication::font()) {}

CLabel& CLabel::SetTextColor(const QColor& colour) {
    m_crText = colour;
    QPalette colours = palette();
    colours.setColor(QPalette::WindowText, colour);
    setPalette(colours);
    repaint();
    return *this;
}

CLabel& CLabel::SetLogFont(const QFont& font) {
    m_lf = font;
    RebuildFont();
    return *this;
}

CLabel& CLabel::SetFontName(const QString& face) {
    m_lf.setFamilies({face});
    RebuildFont();
    return *this;
}

CLabel& CLabel::SetFontSize(int n) {
    if (n > 0) m_lf.setPixelSize(n);
    RebuildFont();
    return *this;
}

CLabel& CLabel::SetFontItalic(bool italic) {
    m_lf.setItalic(italic);
    RebuildFont();
    return *this;
}

CLabel& CLabel::SetLink(bool link) {
    m_bLink = link;
    return *this;
}

CLabel& CLabel::SetNotify(bool notify) {
    m_bNotify = notify;
    return *this;
}

CLabel& CLabel::SetLinkCursor(std::optional<QCursor> cursor) {
    m_hCursor = std::move(cursor);
    if (m_hCursor)
        setCursor(*m_hCursor);
    else
        unsetCursor();
    return *this;
}

CLabel& CLabel::SetText(const QString& text) {
    m_strLabel = text;
    setText(text);
    return *this;
}

CLabel& CLabel::SetText(int id) {
    return SetText(LoadString(id));
}

void CLabel::SetUrlOpener(UrlOpener opener) {
    Opener() = std::move(opener);
}

void CLabel::mousePressEvent(QMouseEvent* event) {
    if (!m_bLink && m_bNotify && event->button() == Qt::LeftButton) {
        event->accept();
        Q_EMIT clicked();
        return;
    }
    // A plain label leaves the click to its parent, like any static text.
    if (!m_bLink || event->button() != Qt::LeftButton) {
        QLabel::mousePressEvent(event);
        return;
    }
    event->accept();
    const QUrl url = QUrl::fromUserInput(text());
    if (Opener())
        Opener()(url);
    else
        QDesktopServices::openUrl(url);
    Q_EMIT clicked();
}

void CLabel::RebuildFont() {
    setFont(m_lf);
    repaint();
}
