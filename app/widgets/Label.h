// A static text with its own colour and font, an optional cursor, and click-to-open: while
// the label is a link, a click opens its text (a web or mailto: address) and the label
// reports the click to its owner.
#pragma once

#include <QColor>
#include <QCursor>
#include <QFont>
#include <QLabel>
#include <QString>
#include <QUrl>
#include <functional>
#include <optional>

class CLabel : public QLabel {
    Q_OBJECT
  public:
    // How a link is opened; tests replace it, since they have no desktop to open it on.
    using UrlOpener = std::function<void(const QUrl&)>;

    explicit CLabel(QWidget* parent = nullptr);

    // Each setter returns the label, so calls can be chained.
    CLabel& SetTextColor(const QColor& colour);
    CLabel& SetLogFont(const QFont& font);
    CLabel& SetFontName(const QString& face);
    // Character height of n pixels.
    CLabel& SetFontSize(int n);
    CLabel& SetFontItalic(bool italic);
    // true: clicks open the text and emit clicked(); false: clicks go to the parent.
    CLabel& SetLink(bool link);
    // For a label that is no link: true reports clicks with clicked() without opening
    // anything; false leaves them to the parent.
    CLabel& SetNotify(bool notify);
    // The cursor over the label; std::nullopt restores the default cursor.
    CLabel& SetLinkCursor(std::optional<QCursor> cursor);
    CLabel& SetText(const QString& text);
    // The text of a string-table id.
    CLabel& SetText(int id);

    const QColor& TextColor() const { return m_crText; }
    const QFont& LogFont() const { return m_lf; }
    const QString& Label() const { return m_strLabel; }
    bool IsLink() const { return m_bLink; }
    bool IsNotify() const { return m_bNotify; }

    // Replaces the opener of all labels; an empty function restores the desktop's.
    static void SetUrlOpener(UrlOpener opener);

  Q_SIGNALS:
    void clicked();

  protected:
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void RebuildFont();

    QColor m_crText;
    QFont m_lf;
    QString m_strLabel;
    bool m_bLink = true;
    bool m_bNotify = false;
    std::optional<QCursor> m_hCursor;
};
