#include "RegisterExportJob.h"

#include <QSaveFile>
#include <QTextStream>

#include "ProgramInfo.h"
#include "station/PrivateSaveFile.h"

CRegisterExportJob::CRegisterExportJob(QObject* parent) : QObject(parent) {}

CRegisterExportJob::~CRegisterExportJob() {
    if (!m_thread) return;
    m_bCancel = true;
    m_thread->wait();
}

bool CRegisterExportJob::IsRunning() const {
    return m_thread && m_thread->isRunning();
}

bool CRegisterExportJob::Start(const Job& job) {
    if (IsRunning()) return false;
    if (m_thread) m_thread->wait();
    m_bCancel = false;
    m_thread.reset(QThread::create([this, job] { Run(job); }));
    m_thread->start();
    return true;
}

void CRegisterExportJob::Run(const Job& job) {
    station::CCardRegister cardRegister(job.settings, GetProgramVersion());
    qint64 rows = 0;
    auto finish = [&](bool written, const QString& error) {
        Q_EMIT Finished(written, rows, error);
    };
    std::int64_t total = 0;
    if (job.kind == Kind::Cards) {
        const std::optional<std::int64_t> counted = cardRegister.Count(job.filter);
        if (!counted) return finish(false, cardRegister.LastError());
        total = *counted;
        Q_EMIT Progress(0, total);
    }

    QSaveFile file(job.path);
    if (!station::OpenPrivateSaveFile(file)) return finish(false, file.errorString());
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    bool exported = false;
    switch (job.kind) {
        case Kind::Cards: {
            std::int64_t written = 0;
            exported = cardRegister.ExportCsv(out, job.filter, job.options, written,
                                              [&](std::int64_t done) {
                                                  rows = done;
                                                  Q_EMIT Progress(done, total);
                                                  return !m_bCancel;
                                              });
            rows = written;
            break;
        }
        case Kind::ValidCards:
            exported = cardRegister.WriteValidCardsCsv(out, job.options);
            break;
        case Kind::BlockList:
            exported = cardRegister.WriteBlockListCsv(out, job.options);
            break;
    }
    out.flush();
    if (m_bCancel) {
        file.cancelWriting();
        return finish(false, QString());
    }
    // A stream that could not write everything must not replace the file.
    if (!exported || out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        const bool fileFailed =
            out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError;
        const QString error = fileFailed ? file.errorString() : cardRegister.LastError();
        file.cancelWriting();
        return finish(false, error);
    }
    if (!file.commit()) return finish(false, file.errorString());
    finish(true, QString());
}
