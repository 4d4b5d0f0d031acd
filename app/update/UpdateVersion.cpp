#include <QDate>
#include <algorithm>
#include <limits>

#include "update/UpdateCheck.h"

namespace {

constexpr int kLargestVersionComponent = 999;

// A leading decimal number with an optional sign, like atoi: no digits give 0; a number
// too large for an int stops growing at the largest.
qint64 LeadingNumber(QStringView text) {
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    qint64 value = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        value = value * 10 + (text[pos].unicode() - u'0');
        if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max();
    }
    return negative ? -value : value;
}

bool IsDigits(QStringView text) {
    return !text.isEmpty() &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

}  // namespace

quint32 CUpdateCheck::VersionNumber(QStringView text) {
    const qsizetype dot = text.indexOf(u'.');
    const QStringView major = dot > 0 ? text.first(dot) : text;
    const QStringView minor = dot > 0 ? text.sliced(dot + 1) : QStringView();
    // Computed wide and wrapped to 32 bits, as the comparison has always been unsigned.
    return static_cast<quint32>(LeadingNumber(major) * 1000 + LeadingNumber(minor));
}

bool CUpdateCheck::IsVersionText(QStringView text) {
    const qsizetype dot = text.indexOf(u'.');
    const QStringView major = dot >= 0 ? text.first(dot) : text;
    const QStringView minor = dot >= 0 ? text.sliced(dot + 1) : QStringView(u"0");
    const auto usable = [](QStringView part) {
        return IsDigits(part) && part.size() <= 3 && part.toInt() <= kLargestVersionComponent;
    };
    return usable(major) && usable(minor);
}

bool CUpdateCheck::IsNewer(QStringView localVersion, QStringView localDate,
                           QStringView remoteVersion, QStringView remoteBuild) {
    if (!IsVersionText(remoteVersion) ||
        !QDate::fromString(remoteBuild.toString(), Qt::ISODate).isValid() ||
        remoteBuild.size() != 10)
        return false;
    const quint32 local = VersionNumber(localVersion);
    const quint32 remote = VersionNumber(remoteVersion);
    if (local != remote) return local < remote;
    // Dates in "%Y-%m-%d" sort as texts: a later build of the same version is newer.
    return localDate.compare(remoteBuild) < 0;
}

QString CUpdateCheck::InstallerFileName(const QString& url) {
    const qsizetype slash = url.lastIndexOf(u'/');
    return slash > 0 ? url.mid(slash + 1) : url;
}

