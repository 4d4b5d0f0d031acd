// The virtual readers running on this desktop: each announces its line and name in a small
// file in the user's runtime folder while it runs (see the virtual reader's
// ReaderAnnouncement). The interface choice lists them as "<line> [<name>]", the form the port
// list gives the maker's readers, which the SDK opens by the line before the bracket.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What one announcement file says: its "pid=", "line=" and "name=" lines; other lines are
// skipped. Read apart from the folder so that it can be tested and fuzzed alone.
struct ReaderAnnouncementText {
    qint64 pid = 0;
    QString line;
    QString name;
};
ReaderAnnouncementText ParseReaderAnnouncement(const QByteArray& text);

// $XDG_RUNTIME_DIR/orvex-fsk/readers, or /tmp/orvex-fsk-<uid>/readers without a runtime folder.
QString AnnouncedReadersFolder();

// Every announced reader whose process still runs and whose line exists, sorted. Files of
// another user, of a process that has gone (a killed reader) and files that do not read as
// an announcement are skipped.
QStringList ListAnnouncedReaders();
