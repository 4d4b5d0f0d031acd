// The INI document the version file is read with: how lines, headers, comments and the "="
// split become sections and entries, and what lookups answer, including on bad input.
#include <QTest>

#include "support/AppTest.h"
#include "update/PrivateProfile.h"

class IniDocumentTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void lookups_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        const QString program = "[Orvex-FSKProgrammer]\r\n";

        QTest::newRow("spaces around =") << program + "Version = 1.24\r\n" << "Orvex-FSKProgrammer"
                                         << "Version" << "1.24";
        QTest::newRow("trailing tab cut") << program + "Build=2026-01-15\t\r\n"
                                          << "Orvex-FSKProgrammer" << "Build" << "2026-01-15";
        QTest::newRow("split at first =") << program + "Installer=a=b" << "Orvex-FSKProgrammer"
                                          << "Installer" << "a=b";
        QTest::newRow("last occurrence wins, any case")
            << program + "Version=1.1\nversion=1.2\n" << "orvex-fskprogrammer" << "VERSION"
            << "1.2";
        QTest::newRow("leading space is part of the key")
            << program + " Version=1.3\n" << "Orvex-FSKProgrammer" << "Version" << "-";
        QTest::newRow("trailing value spaces kept") << "[s]\nk=  v  \n" << "s" << "k" << "v  ";
        QTest::newRow("header spaces kept") << "[ Orvex ]\nk=1\n" << "Orvex" << "k" << "-";
        QTest::newRow("header spaces found as written") << "[ Orvex ]\nk=1\n" << " Orvex " << "k"
                                                        << "1";
        QTest::newRow("before the first header") << "k=0\n[s]\nk=1\n" << "" << "k" << "0";
        QTest::newRow("LF only") << "[s]\na=1\nb=2\n" << "s" << "b" << "2";
        QTest::newRow("CR only") << "[s]\ra=1\rb=2\r" << "s" << "b" << "2";
        QTest::newRow("blank lines between") << "[s]\r\n\r\n\n\ra=1\r\n\r\nb=2" << "s" << "b"
                                             << "2";
        QTest::newRow("comment is a key") << "[s]\n;note=x\n" << "s" << ";note=x" << "";
        QTest::newRow("line without =") << "[s]\nflag  \n" << "s" << "flag" << "";
        QTest::newRow("unterminated header is an entry") << "[s]\n[t\nk=1\n" << "s" << "[t"
                                                         << "";
        QTest::newRow("unterminated header opens nothing") << "[s]\n[t\nk=1\n" << "s" << "k"
                                                           << "1";
        QTest::newRow("first of two equal sections") << "[s]\nk=1\n[s]\nk=2\n" << "s" << "k"
                                                     << "1";
        QTest::newRow("missing section") << "[s]\nk=1\n" << "t" << "k" << "-";
        QTest::newRow("missing key") << "[s]\nk=1\n" << "s" << "j" << "-";
        QTest::newRow("empty text") << "" << "" << "k" << "-";
        QTest::newRow("only line breaks") << "\r\n\n\r" << "" << "" << "-";
        QTest::newRow("lone bracket") << "[\n]\n" << "" << "]" << "";
    }
    void lookups() {
        QFETCH(QString, text);
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        CPrivateProfile profile;
        QVERIFY(profile.ParseText(text));
        QCOMPARE(profile.GetValue(section, key, "-"), expected);
    }

    // Headers without entries keep their index as empty unnamed sections, so the n-th
    // header is section n.
    void sectionsKeepHeaderNumbers() {
        CPrivateProfile profile;
        profile.ParseText(u"[a]\n[b]\n[c]\nk=1\n");
        QCOMPARE(profile.Sections().size(), 4);
        QCOMPARE(profile.FindSection("c"), 3);
        QCOMPARE(profile.FindSection("a"), -1);
        QCOMPARE(profile.Sections()[0].m_strSection, QString());
        QVERIFY(profile.Sections()[0].m_keys.isEmpty());
    }

    // Binary data and a long text parse without reading outside the text and give lookups
    // with plain answers.
    void badInput() {
        QString binary;
        for (int i = 0; i < 4096; ++i) binary += QChar(static_cast<char16_t>((i * 7919) & 0xFFFF));
        CPrivateProfile noise;
        QVERIFY(noise.ParseText(binary));
        QCOMPARE(noise.GetValue("Orvex-FSKProgrammer", "Version", "-"), QString("-"));

        QString huge = "[s]\n";
        for (int i = 0; i < 200000; ++i) huge += "k=" + QString::number(i) + "\n";
        huge += "[t";
        CPrivateProfile big;
        QVERIFY(big.ParseText(huge));
        QCOMPARE(big.GetValue("s", "k"), QString("199999"));
        QCOMPARE(big.GetValue("s", "[t", "-"), QString());
    }
};

ORVEX_APP_TEST_MAIN(IniDocumentTest)
#include "tst_inidocument.moc"
