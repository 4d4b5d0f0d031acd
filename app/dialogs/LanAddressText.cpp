#include "LanAddressText.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int kDefaultTcpPort = 10001;

// The decimal number at the start of text, as the C library reads it; 0 without digits.
int LeadingNumber(const QString& text) {
    long long value = 0;
    for (const QChar c : text) {
        if (c < '0' || c > '9') break;
        value = value * 10 + (c.unicode() - '0');
        if (value > 0x7FFFFFFF) return 0x7FFFFFFF;
    }
    return static_cast<int>(value);
}

}  // namespace

QStringList ParseSdkTextList(const std::vector<char>& buffer, int used) {
    QStringList entries;
    const size_t end = static_cast<size_t>(std::clamp(used, 0, int(buffer.size())));
    size_t pos = 0;
    while (pos < end && buffer[pos] != '\0') {
        const void* zero = std::memchr(buffer.data() + pos, '\0', end - pos);
        if (zero == nullptr) break;
        const size_t length = static_cast<const char*>(zero) - (buffer.data() + pos);
        entries << QString::fromUtf8(buffer.data() + pos, static_cast<qsizetype>(length));
        pos += length + 1;
    }
    return entries;
}

LanSettingsFields ReadLanSettings(const QString& nameText, const QString& addressText) {
    LanSettingsFields fields;
    fields.port = kDefaultTcpPort;
    if (!addressText.isEmpty()) {
        fields.mode = 1;
        const qsizetype dash = addressText.indexOf('-');
        if (dash >= 0) {
            fields.ip = addressText.left(dash);
            fields.port = LeadingNumber(addressText.mid(dash + 1));
        } else {
            fields.ip = addressText;
        }
    }
    const qsizetype close = nameText.indexOf(']');
    if (nameText.startsWith('[') && close > 0) {
        fields.dhcpName = nameText.mid(1, close - 1);
        if (fields.mode == 0 && nameText.mid(close + 1, 1) == QLatin1String("-"))
            fields.port = LeadingNumber(nameText.mid(close + 2));
    } else {
        fields.dhcpName = nameText;
    }
    return fields;
}

QString LanSearchKey(const QString& entry) {
    if (!entry.startsWith('[')) return entry;
    const qsizetype close = entry.indexOf(']');
    return close < 0 ? QString() : entry.left(close + 1);
}

QList<LanSearchItem> MergeLanSearch(const QStringList& readers, const QStringList& devices) {
    QList<LanSearchItem> items;
    for (const QString& reader : readers)
        if (!reader.isEmpty()) items.append({reader, LanSearchItem::kReader});
    for (const QString& device : devices) {
        if (device.isEmpty()) continue;
        const QString key = LanSearchKey(device);
        auto match = std::find_if(items.begin(), items.end(), [&key](const LanSearchItem& item) {
            return item.text.compare(key, Qt::CaseInsensitive) == 0;
        });
        if (match != items.end())
            *match = {device, LanSearchItem::kReader};
        else
            items.append({device, LanSearchItem::kOtherDevice});
    }
    return items;
}
