#include "Output.h"

#include <cstdio>

std::string JsonString(std::string_view text) {
    std::string out = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (byte < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", byte);
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    return out + "\"";
}

void CJson::Key(std::string_view key) {
    if (!m_members.empty()) m_members += ",";
    m_members += JsonString(key) + ":";
}

CJson& CJson::Add(std::string_view key, std::string_view text) {
    Key(key);
    m_members += JsonString(text);
    return *this;
}

CJson& CJson::Add(std::string_view key, long long number) {
    Key(key);
    m_members += std::to_string(number);
    return *this;
}

CJson& CJson::Add(std::string_view key, bool value) {
    Key(key);
    m_members += value ? "true" : "false";
    return *this;
}

CJson& CJson::AddNull(std::string_view key) {
    Key(key);
    m_members += "null";
    return *this;
}

void COutput::Print(const CJson& object, const std::string& text) const {
    if (m_json)
        std::printf("%s\n", object.Text().c_str());
    else if (!text.empty())
        std::printf("%s\n", text.c_str());
    std::fflush(stdout);
}

void COutput::Note(const std::string& text) const {
    if (m_json) {
        std::printf("%s\n", CJson().Add("note", text).Text().c_str());
        std::fflush(stdout);
    } else {
        std::fprintf(stderr, "lfprog: %s\n", text.c_str());
    }
}

int COutput::Fail(ExitCode code, const std::string& message, int sdkError) const {
    if (m_json) {
        CJson error;
        error.Add("error", message);
        if (sdkError != 0) error.Add("sdk_error", sdkError);
        error.Add("exit", static_cast<int>(code));
        std::printf("%s\n", error.Text().c_str());
        std::fflush(stdout);
    } else if (sdkError != 0) {
        std::fprintf(stderr, "lfprog: %s (SDK error %d)\n", message.c_str(), sdkError);
    } else {
        std::fprintf(stderr, "lfprog: %s\n", message.c_str());
    }
    return code;
}
