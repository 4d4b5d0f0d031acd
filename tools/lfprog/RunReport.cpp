#include "RunReport.h"

#include "CardOptions.h"
#include "Reader.h"

using station::StatusMessage;

std::string StatusText(StatusMessage message) {
    switch (message) {
        case StatusMessage::None:
            return "";
        case StatusMessage::ReadError:
            return "the card cannot be read";
        case StatusMessage::NoFskData:
            return "no valid FSK data on the card (another format?)";
        case StatusMessage::NoTransponder:
            return "no transponder on the reader";
        case StatusMessage::WriteDone:
            return "card written";
        case StatusMessage::WriteProtected:
            return "the transponder is write-protected";
        case StatusMessage::ReadTimeout:
            return "timeout while reading";
        case StatusMessage::Manchester:
            return "not an FSK card but a Manchester card";
        case StatusMessage::Biphase:
            return "not an FSK card but a Biphase card";
        case StatusMessage::VerifyMismatch:
            return "the card read back holds other data than was written";
        case StatusMessage::VerifyReadFailed:
            return "the card cannot be read back after writing";
    }
    return "";
}

void CRunReport::ShowStatus(StatusMessage message, int errorCode) {
    m_status = message;
    m_errorCode = errorCode;
}

void CRunReport::SignalFailure() {
    if (!m_series) return;
    std::string text = StatusText(m_status);
    if (m_status == StatusMessage::NoTransponder && m_errorCode != 0)
        text = "write failed: " + SdkErrorText(m_errorCode);
    CJson object;
    object.Add("event", "failed").Add("error", text);
    if (m_errorCode != 0) object.Add("sdk_error", m_errorCode);
    object.Add("next", m_next);
    m_out.Print(object, "card not written: " + text +
                            (m_errorCode != 0 ? " (SDK error " + std::to_string(m_errorCode) + ")"
                                              : std::string()) +
                            "; take it away and lay it again");
}

void CRunReport::ReportLogFailure() {
    m_logFailed = true;
    m_out.Note("the card was written but its log line could not be written");
}

void CRunReport::CardWritten(const station::WrittenCard& card) {
    ++m_written;
    if (!m_series) return;
    CJson object;
    object.Add("event", "card").Add("count", m_written);
    AddCard(object, m_format, card.fields);
    object.Add("uid", card.uid.toStdString()).Add("verified", card.verified);
    std::string text =
        "card " + std::to_string(m_written) + ": " + DescribeCard(m_format, card.fields);
    if (!card.uid.isEmpty()) text += " uid " + card.uid.toStdString();
    if (card.verified) text += " verified";
    m_out.Print(object, text);
}
