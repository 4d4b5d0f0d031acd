// The station's signals on the default audio output of Qt Multimedia: tones are generated
// sine waves, wave files play through a sound effect. Without an audio device nothing is
// heard and nothing waits.
#pragma once

#include <QPointer>

#include "SignalOutput.h"

class QSoundEffect;

class CQtSignalOutput : public CSignalOutput {
  public:
    void PlayTone(int frequencyHz, int durationMs) override;
    void PlayWaveFile(const QString& path, bool wait) override;

  private:
    void PlayWaveFileAsync(const QString& path);
    void PlayWaveFileSync(const QString& path);

    // The sound started last without waiting; a new one replaces it. Owned by the
    // application object, so it never outlives the multimedia back end.
    QPointer<QSoundEffect> m_asyncEffect;
};
