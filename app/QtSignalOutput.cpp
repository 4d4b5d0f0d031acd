#include "QtSignalOutput.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QBuffer>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QMediaDevices>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QtEndian>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr int kDefaultSampleRate = 48000;
constexpr double kToneAmplitude = 0.4 * 32767.0;
constexpr int kFadeMs = 5;         // ramps at both ends, so the tone does not click
constexpr int kMaxToneMs = 60000;  // a longer tone is surely a mistake
constexpr int kPollMs = 10;
// Bounds of the waits, on top of a sound's own length: the output's start-up latency and
// the lag with which a sound effect notices its end.
constexpr int kToneMarginMs = 1000;
constexpr int kWaveMarginMs = 500;
constexpr int kWaveLoadTimeoutMs = 3000;  // loading a wave file into memory
constexpr int kUnknownWaveLengthMs = 30000;

bool HasAudioOutput() {
    return !QMediaDevices::defaultAudioOutput().isNull();
}

// Runs the event loop, without user input, until done() holds or timeoutMs have passed;
// done() is checked whenever sender emits signal and every kPollMs. Painting and timers go
// on meanwhile.
template <typename Sender, typename Signal, typename Done>
void WaitUntil(Sender* sender, Signal signal, Done done, int timeoutMs) {
    if (done()) return;
    QEventLoop loop;
    const auto check = [&loop, &done] {
        if (done()) loop.quit();
    };
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, check);
    poll.start(kPollMs);
    QObject::connect(sender, signal, &loop, check);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

// 16-bit mono samples of a sine tone with linear fades at both ends.
QByteArray SineTone(int frequencyHz, int durationMs, int sampleRate) {
    const qsizetype count = static_cast<qsizetype>(sampleRate) * durationMs / 1000;
    const qsizetype fade =
        std::min<qsizetype>(static_cast<qsizetype>(sampleRate) * kFadeMs / 1000, count / 4);
    QByteArray samples(count * static_cast<qsizetype>(sizeof(qint16)), Qt::Uninitialized);
    auto* out = reinterpret_cast<qint16*>(samples.data());
    const double step = 2.0 * std::numbers::pi * frequencyHz / sampleRate;
    for (qsizetype i = 0; i < count; ++i) {
        double gain = 1.0;
        if (fade > 0) {
            const qsizetype edge = std::min(i, count - 1 - i);
            if (edge < fade) gain = static_cast<double>(edge) / static_cast<double>(fade);
        }
        out[i] = static_cast<qint16>(std::lround(kToneAmplitude * gain * std::sin(step * i)));
    }
    return samples;
}

// The playing time of a RIFF wave file from its header, or -1 when the header is not one.
int WaveDurationMs(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return -1;
    const QByteArray riff = file.read(12);
    if (riff.size() < 12 || !riff.startsWith("RIFF") || riff.mid(8, 4) != "WAVE") return -1;
    quint32 byteRate = 0;
    for (int chunks = 0; chunks < 64; ++chunks) {
        const QByteArray header = file.read(8);
        if (header.size() < 8) return -1;
        const quint32 size = qFromLittleEndian<quint32>(header.constData() + 4);
        if (header.startsWith("fmt ")) {
            const QByteArray format = file.read(qMin<quint32>(size, 16));
            if (format.size() < 12) return -1;
            byteRate = qFromLittleEndian<quint32>(format.constData() + 8);
            if (!file.seek(file.pos() + size - static_cast<quint32>(format.size()) + size % 2))
                return -1;
        } else if (header.startsWith("data")) {
            if (byteRate == 0) return -1;
            return static_cast<int>(
                std::min<quint64>(quint64{size} * 1000 / byteRate, kUnknownWaveLengthMs));
        } else if (!file.seek(file.pos() + size + size % 2)) {
            return -1;
        }
    }
    return -1;
}

}  // namespace

void CQtSignalOutput::PlayTone(int frequencyHz, int durationMs) {
    if (frequencyHz <= 0 || durationMs <= 0 || QCoreApplication::instance() == nullptr) return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) return;
    QAudioFormat format;
    const int preferredRate = device.preferredFormat().sampleRate();
    format.setSampleRate(preferredRate > 0 ? preferredRate : kDefaultSampleRate);
    format.setChannelCount(1);
    format.setSampleFormat(QAudioFormat::Int16);
    if (!device.isFormatSupported(format)) return;

    const int lengthMs = std::min(durationMs, kMaxToneMs);
    QByteArray samples = SineTone(frequencyHz, lengthMs, format.sampleRate());
    QBuffer buffer(&samples);
    buffer.open(QIODevice::ReadOnly);
    QAudioSink sink(device, format);
    sink.start(&buffer);
    if (sink.error() != QAudio::NoError || sink.state() == QAudio::StoppedState) return;
    // The sink turns idle as soon as it has taken the last bytes, which is well before they
    // have been heard; its playing clock says when the tone is over.
    const qint64 toneUs = format.durationForBytes(static_cast<qint32>(samples.size()));
    WaitUntil(
        &sink, &QAudioSink::stateChanged,
        [&sink, toneUs] {
            return sink.state() == QAudio::StoppedState || sink.processedUSecs() >= toneUs;
        },
        lengthMs + kToneMarginMs);
    sink.stop();
}

void CQtSignalOutput::PlayWaveFile(const QString& path, bool wait) {
    if (path.isEmpty() || QCoreApplication::instance() == nullptr || !HasAudioOutput()) return;
    if (wait)
        PlayWaveFileSync(path);
    else
        PlayWaveFileAsync(path);
}

void CQtSignalOutput::PlayWaveFileAsync(const QString& path) {
    if (m_asyncEffect == nullptr) m_asyncEffect = new QSoundEffect(QCoreApplication::instance());
    m_asyncEffect->stop();
    m_asyncEffect->setSource(QUrl::fromLocalFile(path));
    m_asyncEffect->play();
}

void CQtSignalOutput::PlayWaveFileSync(const QString& path) {
    QSoundEffect effect;
    effect.setSource(QUrl::fromLocalFile(path));
    WaitUntil(
        &effect, &QSoundEffect::statusChanged,
        [&effect] { return effect.status() != QSoundEffect::Loading; }, kWaveLoadTimeoutMs);
    if (effect.status() != QSoundEffect::Ready) return;
    const int lengthMs = WaveDurationMs(path);
    effect.play();
    WaitUntil(
        &effect, &QSoundEffect::playingChanged, [&effect] { return !effect.isPlaying(); },
        (lengthMs >= 0 ? lengthMs : kUnknownWaveLengthMs) + kWaveMarginMs);
    effect.stop();
}

CSignalOutput& DefaultSignalOutput() {
    static CQtSignalOutput output;
    return output;
}
