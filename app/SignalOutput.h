// Where the station's acoustic signals go: a tone of a frequency and length (the classic
// PC speaker beep) and wave files. The real output is Qt Multimedia; tests record.
#pragma once

#include <QString>

class CSignalOutput {
  public:
    virtual ~CSignalOutput() = default;

    // A sine tone; returns when it has been played. Silent without an audio device.
    virtual void PlayTone(int frequencyHz, int durationMs) = 0;

    // A wave file; returns at once unless wait is set. Silent without an audio device or
    // when the file cannot be played.
    virtual void PlayWaveFile(const QString& path, bool wait) = 0;
};

// The process's audio output.
CSignalOutput& DefaultSignalOutput();
