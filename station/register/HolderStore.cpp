// The register's holders: the people cards are issued to, and the exports that name them.
#include "station/register/Holders.h"

namespace station {

namespace {

const QString kNotYet = QStringLiteral("holders are not stored in this register yet");

}  // namespace

std::optional<std::vector<Holder>> CCardRegister::Holders(const HolderFilter&) {
    m_lastError = kNotYet;
    return std::nullopt;
}

bool CCardRegister::FindHolder(const QString&, std::optional<Holder>& holder) {
    holder.reset();
    m_lastError = kNotYet;
    return false;
}

bool CCardRegister::FindHolder(std::int64_t, std::optional<Holder>& holder) {
    holder.reset();
    m_lastError = kNotYet;
    return false;
}

std::optional<QStringList> CCardRegister::Departments() {
    m_lastError = kNotYet;
    return std::nullopt;
}

bool CCardRegister::SaveHolder(Holder&) {
    m_lastError = kNotYet;
    return false;
}

std::optional<std::vector<RegisterEntry>> CCardRegister::HolderCards(std::int64_t) {
    m_lastError = kNotYet;
    return std::nullopt;
}

bool CCardRegister::ImportHolders(const std::vector<HolderImportRow>&, bool, bool,
                                  HolderImportPlan& plan) {
    plan = {};
    m_lastError = kNotYet;
    return false;
}

bool CCardRegister::WriteValidCardsCsv(QTextStream&, const CsvOptions&) {
    m_lastError = kNotYet;
    return false;
}

bool CCardRegister::WriteBlockListCsv(QTextStream&, const CsvOptions&) {
    m_lastError = kNotYet;
    return false;
}

}  // namespace station
