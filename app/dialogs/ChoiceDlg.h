// A question with a few answers to pick from, none picked beforehand: OK stays off until the
// operator chooses, and Cancel is the default button, so Enter never picks an answer that
// revokes a card.
#pragma once

#include <QDialog>
#include <QStringList>

class QButtonGroup;
class QPushButton;

class CChoiceDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_QUESTION = 1450;
    static constexpr int IDC_FIRST_CHOICE = 1451;  // the choices' ids follow in order
    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

    CChoiceDlg(const QString& title, const QString& question, const QStringList& choices,
               QWidget* parent = nullptr);

    // The answer picked, -1 while none is.
    int Choice() const;

    // Asks and returns the answer picked, -1 when cancelled.
    static int Ask(QWidget* parent, const QString& title, const QString& question,
                   const QStringList& choices);

  private:
    QButtonGroup* m_choices = nullptr;
    QPushButton* m_ok = nullptr;
};
