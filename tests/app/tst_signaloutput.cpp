// The audio output of the station's signals: synchronous calls last as long as the sound
// with an audio device, and return at once without one.
#include <QAudioDevice>
#include <QElapsedTimer>
#include <QMediaDevices>
#include <QTemporaryDir>
#include <QtEndian>

#include "SignalOutput.h"
#include "support/AppTest.h"

namespace {

// A silent 16-bit mono wave file of the given length.
void WriteWaveFile(const QString& path, int durationMs) {
    constexpr quint32 kRate = 8000;
    const quint32 dataSize = kRate * 2 * static_cast<quint32>(durationMs) / 1000;
    QByteArray data("RIFF");
    auto add32 = [&data](quint32 value) {
        char bytes[4];
        qToLittleEndian(value, bytes);
        data.append(bytes, 4);
    };
    auto add16 = [&data](quint16 value) {
        char bytes[2];
        qToLittleEndian(value, bytes);
        data.append(bytes, 2);
    };
    add32(36 + dataSize);
    data += "WAVEfmt ";
    add32(16);
    add16(1);  // PCM
    add16(1);  // mono
    add32(kRate);
    add32(kRate * 2);
    add16(2);
    add16(16);
    data += "data";
    add32(dataSize);
    data += QByteArray(static_cast<qsizetype>(dataSize), '\0');
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(data), data.size());
}

}  // namespace

class TestSignalOutput : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void synchronousCallsLastAsLongAsTheSound();
};

void TestSignalOutput::synchronousCallsLastAsLongAsTheSound() {
    QTemporaryDir dir;
    const QString wave = dir.filePath("tone.wav");
    WriteWaveFile(wave, 400);
    const bool device = !QMediaDevices::defaultAudioOutput().isNull();
    qInfo("audio device: %s", device ? "yes" : "none");
    CSignalOutput& output = DefaultSignalOutput();
    QElapsedTimer clock;

    clock.start();
    output.PlayTone(440, device ? 400 : 3000);
    const qint64 tone = clock.restart();
    output.PlayWaveFile(wave, true);
    const qint64 waveSync = clock.restart();
    output.PlayWaveFile(wave, false);
    const qint64 waveAsync = clock.elapsed();

    if (device) {
        QVERIFY2(tone >= 300 && tone < 2500, qPrintable(QString::number(tone)));
        QVERIFY2(waveSync >= 350 && waveSync < 5000, qPrintable(QString::number(waveSync)));
    } else {
        QVERIFY2(tone < 1000, qPrintable(QString::number(tone)));
        QVERIFY2(waveSync < 1000, qPrintable(QString::number(waveSync)));
    }
    QVERIFY2(waveAsync < 1000, qPrintable(QString::number(waveAsync)));
    QTest::qWait(200);  // the sound loads its file in the background; keep the file till then
}

ORVEX_APP_TEST_MAIN(TestSignalOutput)
#include "tst_signaloutput.moc"
