// "Diagnose…" in the interface dialog: the doctor's lines (the same checks as lfprog doctor)
// for the interface selected there, each with its verdict and, for a problem, the command or
// setting that mends it. Nothing is changed; the lines can be copied for a service ticket.
#pragma once

#include <QDialog>
#include <functional>

#include "station/doctor/Doctor.h"

class QBoxLayout;
class QLabel;
class QTreeWidget;

class CDiagnoseDlg : public QDialog {
    Q_OBJECT
  public:
    CDiagnoseDlg(QWidget* parent, station::DoctorRequest request);

    // Runs the checks again and lists them.
    void Diagnose();
    // The lines as lfprog prints them.
    QString LinesText() const;

  private:
    station::DoctorRequest m_request;
    station::DoctorLines m_lines;
    QTreeWidget* m_list = nullptr;
    QLabel* m_summary = nullptr;
};

// The doctor's request for an entry of the interface list (its "USB: "/"LAN: " prefix and a
// virtual reader's " [name]" cut off), with the stored rate and timeout; the network search
// runs when network readers are switched on.
station::DoctorRequest DiagnoseRequest(const QString& entry, int storedBaud, unsigned timeoutMs,
                                       bool lan);

// Puts "Diagnose…" in front of the dialog's buttons; a click opens the diagnosis for what
// request() answers at that moment.
void AddDiagnoseButton(QWidget* dialog, QBoxLayout* buttons,
                       std::function<station::DoctorRequest()> request);
