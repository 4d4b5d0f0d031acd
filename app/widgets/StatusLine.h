// The main window's status line: a read-only line that, while it has no focus, shows the
// start of its text (the words that say success or failure) and ends a text too long for it
// with an ellipsis, instead of scrolling to the text's end. With focus it is a plain line
// edit, so the operator can scroll through the text and copy it.
#pragma once

#include <QLineEdit>
#include <QString>

class CStatusLine : public QLineEdit {
    Q_OBJECT
  public:
    explicit CStatusLine(QWidget* parent = nullptr);

    // The text as it is shown while the line has no focus: whole, or its start elided.
    QString ShownText() const;

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QRect TextArea() const;
};
