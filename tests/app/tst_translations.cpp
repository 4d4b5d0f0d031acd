// The shipped English language file must translate every text the station can show: all
// string-table entries and every translatable text of the dialogs and the code. The
// texts are collected from the sources by lupdate, so a new text without a translation
// fails here.
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTranslator>
#include <QXmlStreamReader>
#include <algorithm>

#include "support/AppTest.h"

namespace {

struct SourceText {
    QString context;
    QString source;
    QString comment;
    bool numerus = false;
};

// Every message of a TS file.
QList<SourceText> ReadMessages(QIODevice& file) {
    QList<SourceText> messages;
    QXmlStreamReader xml(&file);
    QString context;
    SourceText current;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement()) continue;
        if (xml.name() == u"name") {
            context = xml.readElementText();
        } else if (xml.name() == u"message") {
            current = SourceText{context, {}, {}, xml.attributes().value("numerus") == u"yes"};
        } else if (xml.name() == u"source") {
            current.source = xml.readElementText();
        } else if (xml.name() == u"comment") {
            current.comment = xml.readElementText();
        } else if (xml.name() == u"translation") {
            messages << current;
        }
    }
    if (xml.hasError()) qWarning() << "TS file:" << xml.errorString();
    return messages;
}

}  // namespace

class TranslationsTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void EveryTextHasAnEnglishTranslation() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString collected = dir.filePath("collected_en.ts");
        const QString root = QStringLiteral(ORVEX_SOURCE_DIR);

        QProcess lupdate;
        lupdate.start(QStringLiteral(ORVEX_LUPDATE),
                      {"-silent", "-locations", "none", "-extensions", "cpp,h,ui,inc",
                       root + "/app", root + "/res", "-ts", collected});
        QVERIFY(lupdate.waitForFinished(120000));
        QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
                 lupdate.readAllStandardError().constData());

        QFile file(collected);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QList<SourceText> messages = ReadMessages(file);
        // The string table lives in an include file; make sure it was scanned at all.
        const bool tableSeen = std::any_of(messages.begin(), messages.end(), [](auto& m) {
            return m.context == u"StringTable" && m.comment == u"57344";
        });
        QVERIFY2(tableSeen, "lupdate did not see the string table");

        QTranslator english;
        QVERIFY(english.load(QStringLiteral(ORVEX_QM_FILE)));
        QStringList missing;
        for (const SourceText& m : messages) {
            const QByteArray context = m.context.toUtf8();
            const QByteArray source = m.source.toUtf8();
            const QByteArray comment = m.comment.toUtf8();
            const QString text = english.translate(
                context.constData(), source.constData(),
                m.comment.isEmpty() ? nullptr : comment.constData(), m.numerus ? 1 : -1);
            if (text.isEmpty())
                missing << QStringLiteral("%1 | %2 | %3").arg(m.context, m.source, m.comment);
        }
        // The test log cuts long failure messages, so each missing text gets its own line.
        for (const QString& line : missing) qWarning().noquote() << "no translation:" << line;
        QVERIFY2(missing.isEmpty(),
                 qPrintable(QStringLiteral("%1 texts without translation:\n").arg(missing.size()) +
                            missing.join('\n')));
    }
};

ORVEX_APP_TEST_MAIN(TranslationsTest)
#include "tst_translations.moc"
