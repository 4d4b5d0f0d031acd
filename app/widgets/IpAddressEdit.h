// An IPv4 address field: four decimal octets separated by dots, each 0..255. Typing is held
// to that form; the field may be blank, and reports whether it holds a whole address.
#pragma once

#include <QLineEdit>
#include <QString>

class CIpAddressEdit : public QLineEdit {
    Q_OBJECT
  public:
    explicit CIpAddressEdit(QWidget* parent = nullptr);

    // Nothing typed at all.
    bool IsBlank() const;
    // Four octets, each present.
    bool IsComplete() const;
    // The address as a.b.c.d without leading zeros, or "" unless complete.
    QString Address() const;
    // Shows an address text; anything but a whole address leaves the field blank.
    void SetAddress(const QString& text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
};
