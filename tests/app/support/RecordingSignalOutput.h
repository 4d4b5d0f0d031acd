// A signal output for tests: plays nothing, records every call in order.
#pragma once

#include <QList>
#include <QString>
#include <QTest>

#include "SignalOutput.h"

namespace apptest {

struct SignalCall {
    enum class Kind { Tone, WaveFile };

    Kind kind = Kind::Tone;
    int frequency = 0;  // tones only
    int duration = 0;   // tones only, ms
    QString path;       // wave files only
    bool wait = false;  // wave files only

    static SignalCall Tone(int frequencyHz, int durationMs) {
        return {Kind::Tone, frequencyHz, durationMs, {}, false};
    }
    static SignalCall WaveFile(const QString& path, bool wait) {
        return {Kind::WaveFile, 0, 0, path, wait};
    }

    friend bool operator==(const SignalCall&, const SignalCall&) = default;
};

// Readable failure output of QCOMPARE.
inline char* toString(const SignalCall& call) {
    const QString text =
        call.kind == SignalCall::Kind::Tone
            ? QStringLiteral("Tone(%1 Hz, %2 ms)").arg(call.frequency).arg(call.duration)
            : QStringLiteral("WaveFile(%1, wait=%2)").arg(call.path).arg(call.wait);
    return QTest::toString(text);
}

class RecordingSignalOutput : public CSignalOutput {
  public:
    void PlayTone(int frequencyHz, int durationMs) override {
        calls << SignalCall::Tone(frequencyHz, durationMs);
    }
    void PlayWaveFile(const QString& path, bool wait) override {
        calls << SignalCall::WaveFile(path, wait);
    }

    QList<SignalCall> calls;
};

}  // namespace apptest
