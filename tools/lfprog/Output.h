// What lfprog prints: lines of text for people, or with --json one JSON object per line on
// standard output (also for errors), so a script reads a stream line by line. Every line is
// flushed at once.
#pragma once

#include <string>
#include <string_view>

#include "ExitCode.h"

// One JSON object, built key by key.
class CJson {
  public:
    CJson& Add(std::string_view key, std::string_view text);
    CJson& Add(std::string_view key, const char* text) { return Add(key, std::string_view(text)); }
    CJson& Add(std::string_view key, long long number);
    CJson& Add(std::string_view key, int number) {
        return Add(key, static_cast<long long>(number));
    }
    CJson& Add(std::string_view key, bool value);
    CJson& AddNull(std::string_view key);
    std::string Text() const { return "{" + m_members + "}"; }

  private:
    void Key(std::string_view key);
    std::string m_members;
};

// A text as a JSON string, quotes included.
std::string JsonString(std::string_view text);

class COutput {
  public:
    explicit COutput(bool json) : m_json(json) {}
    bool Json() const { return m_json; }

    // One result: the object with --json, else the text line (nothing for empty text).
    void Print(const CJson& object, const std::string& text) const;
    // A remark that is not a result: standard error as text, an object with --json.
    void Note(const std::string& text) const;
    // Reports an error in words (with the SDK's error code when sdkError is not 0) and
    // returns code, for "return out.Fail(...)".
    int Fail(ExitCode code, const std::string& message, int sdkError = 0) const;

  private:
    bool m_json;
};
