// The address texts of network readers as the two network dialogs read them: the settings a
// reader reports, turned into the LAN configuration dialog's fields, and the two search
// lists (readers, and every device) merged into one list of the IP address search.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <vector>

// The entries of an SDK text list: each closed by a zero byte, the list by an empty entry;
// read no further than the bytes reported as used, an unterminated entry is not taken.
QStringList ParseSdkTextList(const std::vector<char>& buffer, int used);

// The fields of the LAN configuration dialog for a reader's reported name text
// ("[NAME]-port") and address text ("a.b.c.d-port", "" for a reader on DHCP).
struct LanSettingsFields {
    int mode = 0;  // 0: address from DHCP under dhcpName, 1: fixed address ip
    QString ip;
    QString dhcpName;
    int port = 0;
};
LanSettingsFields ReadLanSettings(const QString& nameText, const QString& addressText);

// One entry of the IP address search's list.
struct LanSearchItem {
    static constexpr int kReader = 1;       // a reader of ours: can be chosen
    static constexpr int kOtherDevice = 2;  // answered only the search for every device

    QString text;
    int kind = kReader;
};

// The key that finds a device in the readers' list: the entry itself, or for a bracketed
// name the name with its brackets ("" when the closing bracket is missing).
QString LanSearchKey(const QString& entry);

// The readers in their order, each then replaced by its device entry (the fuller text, a
// named reader's address included) when one has its key, ignoring case; devices that match
// no reader follow as other devices.
QList<LanSearchItem> MergeLanSearch(const QStringList& readers, const QStringList& devices);
