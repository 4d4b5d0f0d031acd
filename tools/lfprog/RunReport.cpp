#include "RunReport.h"

#include "CardOptions.h"
#include "Reader.h"
#include "station/register/CardRegister.h"
#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"

using station::StatusMessage;

namespace {

std::string MessageText(StatusMessage message) {
    switch (message) {
        case StatusMessage::None:
            return "";
        case StatusMessage::ReadError:
            return "the card cannot be read";
        case StatusMessage::NoFskData:
            return "no valid FSK data on the card (another format?)";
        case StatusMessage::ReadTimeout:
            return "timeout while reading";
        case StatusMessage::Manchester:
            return "not an FSK card but a Manchester card";
        case StatusMessage::Biphase:
            return "not an FSK card but a Biphase card";
        case StatusMessage::NoTransponder:
            return "no transponder on the reader";
        case StatusMessage::BlankChip:
            return "a transponder answers but holds no card in this format (blank?)";
        case StatusMessage::ReaderSilent:
            return "the reader does not answer";
        case StatusMessage::WriteProtected:
            return "the transponder is write-protected";
        case StatusMessage::Checksum:
            return "checksum error in the reader's reply";
        case StatusMessage::WrongChip:
            return "wrong chip type";
        case StatusMessage::Locked:
            return "the transponder is locked";
        case StatusMessage::NotWritable:
            return "transponder found but not writable (password or foreign configuration)";
        case StatusMessage::WriteError:
            return "write failed";
        case StatusMessage::ValueTooLarge:
            return "the number does not fit the format";
        case StatusMessage::VerifyMismatch:
            return "verification failed: the card does not hold the data written";
        case StatusMessage::VerifyUnreadable:
            return "verification failed: the card cannot be read back";
        case StatusMessage::Duplicate:
            return "the card register holds this number already";
        case StatusMessage::RegisterFailed:
            return "the card register cannot record the card";
        case StatusMessage::NoFreeNumber:
            return "the card register has no free number up to the end value";
        case StatusMessage::ChipCarriesCard:
            return "the chip on the reader carries a valid card of the card register";
        case StatusMessage::ReissueInProgress:
            return "the number is only reserved: another station is writing it, so it cannot "
                   "be re-issued";
        case StatusMessage::NumberNotStored:
            return "the next number cannot be stored";
        case StatusMessage::HolderHasCard:
            return "the holder has a valid card by now; nothing was written";
    }
    return "";
}

std::string CardText(const station::CardRecord& card) {
    std::string text =
        DescribeCard(card.format, card.fields) + " " + station::ChipCommandName(card.chipType);
    if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
    return text;
}

}  // namespace

int StatusSdkError(const station::Status& status) {
    return status.message == StatusMessage::ValueTooLarge ? 0 : static_cast<int>(status.value);
}

std::string StatusText(const station::Status& status) {
    std::string text = MessageText(status.message);
    if (status.message == StatusMessage::ValueTooLarge)
        text += " (largest " + std::to_string(status.value) + ")";
    if (status.message == StatusMessage::ReadError || status.message == StatusMessage::WriteError)
        text += ": " + SdkErrorText(static_cast<int>(status.value));
    if (status.message == StatusMessage::Duplicate) {
        // The earlier card: its chip and when it was written.
        if (!status.detail.isEmpty()) text += ", on chip " + status.detail.toStdString();
        if (status.when.isValid())
            text += " since " + status.when.toUTC().toString(Qt::ISODate).toStdString();
    }
    if (status.message == StatusMessage::ChipCarriesCard) {
        if (station::IsCardFormat(status.cardFormat))
            text += ": " + DescribeCard(status.cardFormat, status.card);
        if (status.when.isValid())
            text += ", written " + status.when.toUTC().toString(Qt::ISODate).toStdString();
        text += "; it is not written over";
    }
    if (status.message == StatusMessage::ReissueInProgress) {
        if (!status.detail.isEmpty()) text += " (station " + status.detail.toStdString();
        if (status.when.isValid())
            text += ", reserved " + status.when.toUTC().toString(Qt::ISODate).toStdString();
        if (!status.detail.isEmpty()) text += ")";
    }
    if (status.message == StatusMessage::RegisterFailed && !status.detail.isEmpty())
        text += ": " + status.detail.toStdString();
    return text;
}

ExitCode StatusExitCode(const station::Status& status) {
    switch (status.message) {
        case StatusMessage::NoTransponder:
            return kExitNoCard;
        case StatusMessage::BlankChip:
            return kExitBlankChip;
        case StatusMessage::ReaderSilent:
        case StatusMessage::ReadTimeout:
            return kExitNoReader;
        case StatusMessage::ReadError:
            return ExitCodeOfSdkError(StatusSdkError(status));
        case StatusMessage::Duplicate:
        case StatusMessage::ChipCarriesCard:
        case StatusMessage::ReissueInProgress:
        case StatusMessage::HolderHasCard:
            return kExitDuplicate;
        case StatusMessage::NoFreeNumber:
            return kExitNoFreeNumber;
        case StatusMessage::RegisterFailed:
            return kExitRegister;
        default:
            return kExitFailure;
    }
}

void CRunReport::ShowStatus(const station::Status& status) {
    m_status = status;
    // A series says when its reader stops answering while it waits for chips, and when it
    // answers again: without a word a silent reader looks like waiting. A failed card
    // (its status says lay it again) is reported by its own line.
    if (!m_series || status.layAgain) return;
    const bool silent = status.message == StatusMessage::ReaderSilent;
    if (silent == m_readerSilent) return;
    m_readerSilent = silent;
    CJson object;
    object.Add("event", "reader").Add("answering", !silent);
    m_out.Print(object, silent ? "the reader does not answer; waiting for it"
                               : "the reader answers again");
}

void CRunReport::SignalFailure() {
    if (!m_series) return;
    // The register's refusals end the series; its end line names them.
    if (m_status.message == StatusMessage::Duplicate ||
        m_status.message == StatusMessage::RegisterFailed ||
        m_status.message == StatusMessage::NoFreeNumber)
        return;
    const std::string text = StatusText(m_status);
    CJson object;
    object.Add("event", "failed").Add("error", text);
    if (const int code = StatusSdkError(m_status)) object.Add("sdk_error", code);
    object.Add("next", m_next);
    m_out.Print(object, "card not written: " + text + "; take it away and lay it again");
}

void CRunReport::ReportLogFailure() {
    m_logFailed = true;
    m_out.Note("the card was done but its log line could not be written");
}

QString CRunReport::FailedCardEntry(const station::Status& status,
                                    const station::CardRecord& card) {
    return QString::fromStdString(StatusText(status) + ": " + CardText(card));
}

QString CRunReport::NotConfirmedEntry(const station::CardRecord& card, const QString& reason) {
    return QString::fromStdString("written but not confirmed in the card register (" +
                                  reason.toStdString() + "): " + CardText(card));
}

QString CRunReport::NotLoggedEntry(const station::CardRecord& card, const QDateTime& when) {
    return QString::fromStdString("not logged: " + CardText(card) + ", ") +
           when.toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
}

bool CRunReport::ConfirmReissue(const station::CardRecord& card,
                                const station::RegisterEntry& earlier, QString& reason) {
    if (!m_reissue) return false;
    std::string text =
        "re-issue of " + DescribeCard(card.format, card.fields) + ": the earlier card";
    if (!earlier.uid.isEmpty()) text += " on chip " + earlier.uid.toStdString();
    text += " since " + earlier.time.toUTC().toString(Qt::ISODate).toStdString();
    m_out.Note(text);
    reason = m_reissueReason;
    m_reissued = true;
    return true;
}

bool CRunReport::ConfirmOverwrite(const station::CardRecord& card,
                                  const station::RegisterEntry& onChip) {
    if (!m_overwrite) return false;
    std::string text = "writing " + DescribeCard(card.format, card.fields) + " over ";
    text += station::IsCardFormat(onChip.format) ? DescribeCard(onChip.format, onChip.fields)
                                                 : "a card";
    text += " on chip " + onChip.uid.toStdString() + ", written " +
            onChip.time.toUTC().toString(Qt::ISODate).toStdString() +
            "; once written, the register marks it replaced";
    m_out.Note(text);
    return true;
}

void CRunReport::CardWritten(const station::CardRecord& card) {
    ++m_written;
    if (!m_series) return;
    CJson object;
    object.Add("event", "card").Add("count", m_written);
    AddCard(object, card.format, card.fields);
    object.Add("uid", card.uid.toStdString()).Add("verified", card.verified);
    std::string text =
        "card " + std::to_string(m_written) + ": " + DescribeCard(card.format, card.fields);
    if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
    if (card.verified) text += " verified";
    if (card.holder != 0 && !m_holderName.isEmpty()) {
        object.Add("name", m_holderName.toStdString());
        text += " for " + m_holderName.toStdString();
    }
    m_out.Print(object, text);
}

void CRunReport::ShowHolder(const QString& name) {
    m_holderName = name;
    if (!m_series || name.isEmpty()) return;
    CJson object;
    object.Add("event", "holder").Add("name", name.toStdString());
    m_out.Print(object, "next: " + name.toStdString());
}
