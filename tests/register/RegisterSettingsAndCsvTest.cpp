// The register's settings as the INI holds them, its default file, and its CSV export.
#include <gtest/gtest.h>

#include <QFileInfo>
#include <QMap>
#include <QTemporaryDir>

#include "station/register/CardRegister.h"

using namespace station;

namespace {

RegisterSettings From(const QMap<QString, QString>& keys) {
    return RegisterSettingsFrom([&](const QString& key, const QString& defaultValue) {
        return keys.value(key, defaultValue);
    });
}

TEST(RegisterSettings, KeysReadWithTheirDefaults) {
    const RegisterSettings defaults = From({});
    EXPECT_TRUE(defaults.enabled);
    EXPECT_EQ(defaults.kind, RegisterSettings::Kind::SQLite);
    EXPECT_TRUE(defaults.file.isEmpty());
    EXPECT_EQ(defaults.host, QStringLiteral("localhost"));
    EXPECT_EQ(defaults.port, 5432);
    EXPECT_EQ(defaults.database, QStringLiteral("orvex"));
    EXPECT_TRUE(defaults.user.isEmpty());
    EXPECT_TRUE(defaults.sslMode.isEmpty());
    EXPECT_TRUE(defaults.sslRootCert.isEmpty());
    EXPECT_FALSE(defaults.nextFree);

    const RegisterSettings set = From({{"Enabled", "0"},
                                       {"Database", "PostgreSQL"},
                                       {"File", "/srv/r.sqlite"},
                                       {"Host", "db.example"},
                                       {"Port", "6543"},
                                       {"Name", "badges"},
                                       {"User", "office"},
                                       {"SslMode", " Verify-Full "},
                                       {"SslRootCert", "/etc/orvex/root.crt"},
                                       {"NextFree", "1"}});
    EXPECT_FALSE(set.enabled);
    EXPECT_EQ(set.kind, RegisterSettings::Kind::PostgreSQL);
    EXPECT_EQ(set.file, QStringLiteral("/srv/r.sqlite"));
    EXPECT_EQ(set.host, QStringLiteral("db.example"));
    EXPECT_EQ(set.port, 6543);
    EXPECT_EQ(set.database, QStringLiteral("badges"));
    EXPECT_EQ(set.user, QStringLiteral("office"));
    EXPECT_EQ(set.sslMode, QStringLiteral("verify-full"));
    EXPECT_EQ(set.sslRootCert, QStringLiteral("/etc/orvex/root.crt"));
    EXPECT_TRUE(set.nextFree);

    // Values that do not read keep the defaults; a kind or a switch that does not read is
    // named, so the register refuses rather than record into a private file.
    const RegisterSettings bad = From({{"Enabled", "yes"},
                                       {"Database", "Oracle"},
                                       {"Port", "70000"},
                                       {"NextFree", "x"},
                                       {"SslMode", "strict"},
                                       {"SslRootCert", "/etc/a;b.crt"}});
    EXPECT_TRUE(bad.enabled);
    EXPECT_EQ(bad.kind, RegisterSettings::Kind::SQLite);
    EXPECT_EQ(bad.port, 5432);
    EXPECT_FALSE(bad.nextFree);
    EXPECT_TRUE(bad.unreadable.contains(QStringLiteral("Enabled=yes")));
    EXPECT_TRUE(bad.unreadable.contains(QStringLiteral("Database=Oracle")));
    EXPECT_TRUE(bad.unreadable.contains(QStringLiteral("NextFree=x")));
    EXPECT_TRUE(bad.unreadable.contains(QStringLiteral("SslMode=strict")));
    EXPECT_TRUE(bad.unreadable.contains(QStringLiteral("/etc/a;b.crt")));
    EXPECT_TRUE(bad.sslMode.isEmpty());
    EXPECT_TRUE(set.unreadable.isEmpty());
}

TEST(RegisterSettings, UnknownDatabaseKindOpensNoRegister) {
    QTemporaryDir dir;
    RegisterSettings settings =
        From({{"Database", "Postgres"}, {"File", dir.filePath(QStringLiteral("r.sqlite"))}});
    CCardRegister cardRegister(settings, QStringLiteral("test"));
    EXPECT_FALSE(cardRegister.Open());
    EXPECT_TRUE(cardRegister.LastError().contains(QStringLiteral("Database=Postgres")))
        << cardRegister.LastError().toStdString();
    EXPECT_FALSE(QFileInfo::exists(dir.filePath(QStringLiteral("r.sqlite"))));
}

TEST(RegisterSettings, DefaultFileInTheUsersDataFolder) {
    QTemporaryDir home;
    qputenv("XDG_DATA_HOME", home.path().toUtf8());
    EXPECT_EQ(DefaultRegisterFile(),
              home.path() + QStringLiteral("/Qor Applikationen/Orvex-FSK/register.sqlite"));
}

TEST(RegisterCsv, QuotedFieldsAndUtcTimes) {
    RegisterEntry written;
    written.id = 3;
    written.format = 7;
    written.chipType = 9;
    written.fields = {0, 34359738367LL, 0};
    written.uid = QStringLiteral("E004ABCD");
    written.locked = true;
    written.verified = true;
    written.state = RegisterEntry::State::Written;
    written.time = QDateTime(QDate(2026, 5, 4), QTime(3, 2, 1), Qt::UTC);
    written.station = QStringLiteral("desk, left");
    written.operatorName = QStringLiteral("o\"brien");
    written.programVersion = QStringLiteral("2.0");
    RegisterEntry reserved;
    reserved.id = 4;
    reserved.format = 5;
    reserved.chipType = 3;
    reserved.fields = {255, 65535, 1023};
    reserved.reissue = true;
    reserved.replaces = 2;
    reserved.reason = QStringLiteral("lost");
    // Local time in the register comes out in UTC.
    reserved.time = QDateTime(QDate(2026, 5, 4), QTime(5, 0, 0), Qt::OffsetFromUTC, 7200);
    reserved.station = QStringLiteral("two\nlines");

    QString text;
    QTextStream out(&text);
    WriteRegisterCsv(out, {written, reserved});
    out.flush();
    EXPECT_EQ(text.toStdString(),
              "id,format,facility,number,extra,chip,chip_id,locked,verified,reissue,state,time,"
              "station,operator,program_version,reason,replaces,replaced_by,personnel_number\r\n"
              "3,37-huge,0,34359738367,0,ata5577,E004ABCD,1,1,0,written,2026-05-04T03:02:01Z,"
              "\"desk, left\",\"o\"\"brien\",2.0,,,,\r\n"
              "4,36,255,65535,1023,q5,,0,0,1,reserved,2026-05-04T03:00:00Z,\"two\nlines\",,,"
              "lost,2,,\r\n");

    // For a German spreadsheet: ';' separates (and is quoted), ',' is plain text, and the
    // byte-order mark comes first.
    written.station = QStringLiteral("desk; left");
    written.operatorName = QStringLiteral("Müller, K.");
    QString german;
    QTextStream germanOut(&german);
    WriteRegisterCsv(germanOut, {written}, {QLatin1Char(';'), true});
    germanOut.flush();
    EXPECT_EQ(german.toStdString(),
              "\xEF\xBB\xBF"
              "id;format;facility;number;extra;chip;chip_id;locked;verified;reissue;state;time;"
              "station;operator;program_version;reason;replaces;replaced_by;personnel_number\r\n"
              "3;37-huge;0;34359738367;0;ata5577;E004ABCD;1;1;0;written;2026-05-04T03:02:01Z;"
              "\"desk; left\";M\xC3\xBCller, K.;2.0;;;;\r\n");
}

}  // namespace
