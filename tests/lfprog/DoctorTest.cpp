// The doctor's checks against fixture trees of sysfs, /dev, /proc and udev's database, the
// firewall judged from ruleset texts, the register from SQLite files, and lfprog doctor as a
// program against the virtual reader (a line that answers, one held by another program, one
// at another baud rate).
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <algorithm>
#include <fstream>

#include "FakeSystem.h"
#include "LfprogFixture.h"
#include "station/doctor/DeviceChecks.h"
#include "station/doctor/Doctor.h"
#include "station/doctor/LineChecks.h"
#include "station/doctor/NetworkChecks.h"
#include "station/doctor/RegisterChecks.h"
#include "station/register/RegisterSchema.h"

namespace lfprogtest {
namespace {

using station::DoctorLine;
using station::DoctorLines;
using station::Verdict;

constexpr char kRules[] = "usr/lib/udev/rules.d/70-orvex-fsk-readers.rules";

// The one line of a check about a subject; a default line with check "missing" if none.
DoctorLine Find(const DoctorLines& lines, const std::string& check, const std::string& subject) {
    for (const DoctorLine& line : lines) {
        if (line.check == check && line.subject == subject) return line;
    }
    return {"missing", Verdict::Ok, subject, "", ""};
}

std::string Dump(const DoctorLines& lines) {
    std::string text;
    for (const DoctorLine& line : lines)
        text += line.check + " | " + station::VerdictWord(line.verdict) + " | " + line.subject +
                " | " + line.finding + " | " + line.fix + "\n";
    return text;
}

// Someone who is neither the fixture nodes' owner nor root, in the groups given.
station::UserIdentity Operator(std::vector<gid_t> groups = {}) {
    station::UserIdentity user;
    user.uid = getuid() + 4242;
    user.gid = 54321;
    user.groups = std::move(groups);
    user.name = "anna";
    return user;
}

DoctorLines SystemLines(const FakeSystem& system, const station::UserIdentity& user,
                        const std::string& port = {}) {
    station::DoctorRequest request;
    request.root = system.Root();
    request.user = user;
    request.port = port;
    return station::RunDoctor(request);
}

TEST(Doctor, ReadersAreSeenWithTheDriverBoundToEach) {
    struct Case {
        const char* name;
        void (*lay)(const FakeSystem&);
        const char* check;
        const char* subject;
        Verdict verdict;
        const char* finding;  // a part of it
        const char* fix;      // a part of it; "" for none
    };
    const Case cases[] = {
        {"virtual COM reader", [](const FakeSystem& s) { s.AcmLine("ttyACM0", "1-2", "2b7e:0a3d"); },
         "line", "/dev/ttyACM0", Verdict::Ok, "USB 2b7e:0a3d (virtual COM reader) at 1-2, driver cdc_acm", ""},
        {"virtual COM reader without its driver",
         [](const FakeSystem& s) { s.UsbDevice("1-2", "2b7e:0a3d", ""); }, "reader", "USB 1-2",
         Verdict::Problem, "no driver bound", "sudo modprobe cdc_acm"},
        {"HID reader's node", [](const FakeSystem& s) { s.HidrawNode("hidraw3", "1-4", "2b7e:0a3c"); },
         "hidraw", "/dev/hidraw3", Verdict::Ok, "HID reader", ""},
        {"HID reader without a driver", [](const FakeSystem& s) { s.UsbDevice("1-4", "2b7e:0a40", ""); },
         "reader", "USB 1-4", Verdict::Problem, "no driver bound", "sudo modprobe usbhid"},
        {"USB serial adapter", [](const FakeSystem& s) { s.UsbSerialLine("ttyUSB0", "1-3", "1a86:7523", "ch341"); },
         "line", "/dev/ttyUSB0", Verdict::Ok, "USB 1a86:7523 at 1-3, driver ch341 on 1-3:1.0", ""},
        {"UART the kernel found", [](const FakeSystem& s) {
             s.Tty("ttyS0", "sys/devices/platform/serial8250", "4:64");
             s.File("sys/devices/platform/serial8250/tty/ttyS0/type", "4\n");
         }, "line", "/dev/ttyS0", Verdict::Ok, "serial line", ""},
        {"nothing at all", [](const FakeSystem&) {}, "reader", "devices", Verdict::CannotTell,
         "no serial line and no USB reader", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        c.lay(system);
        // A UART the kernel did not find and a pseudo-terminal are never listed.
        system.Tty("ttyS1", "sys/devices/platform/serial8250", "4:65");
        system.File("sys/devices/platform/serial8250/tty/ttyS1/type", "0\n");
        system.File("sys/devices/virtual/tty/tty1/dev", "4:1\n");
        system.Link("sys/class/tty/tty1", "sys/devices/virtual/tty/tty1");
        const DoctorLines lines = SystemLines(system, Operator());
        const DoctorLine line = Find(lines, c.check, c.subject);
        EXPECT_EQ(line.verdict, c.verdict) << Dump(lines);
        EXPECT_NE(line.finding.find(c.finding), std::string::npos) << Dump(lines);
        if (*c.fix == '\0') EXPECT_EQ(line.fix, "");
        else EXPECT_NE(line.fix.find(c.fix), std::string::npos) << Dump(lines);
        EXPECT_EQ(Find(lines, "line", "/dev/ttyS1").check, "missing");
        EXPECT_EQ(Find(lines, "line", "/dev/tty1").check, "missing");
    }
}

TEST(Doctor, AccessSaysWhyTheUserMayNotOpenANode) {
    const gid_t nodeGroup = getgid();
    const std::string groupLine = "dialout:x:" + std::to_string(nodeGroup) + ":\n";
    struct Case {
        const char* name;
        bool reader;       // the maker's reader (else a USB serial adapter)
        mode_t mode;
        bool inGroup;
        const char* rules;  // where the device rules lie, "" for nowhere
        const char* udev;   // udev's record of the line
        Verdict verdict;
        const char* finding;
        const char* fix;
    };
    const Case cases[] = {
        {"in the line's group", false, 0660, true, kRules, "", Verdict::Ok, "as a member of group dialout", ""},
        {"anyone may", false, 0666, false, "", "", Verdict::Ok, "as anyone may", ""},
        {"not in the group", false, 0660, false, kRules, "", Verdict::Problem, "belongs to group dialout",
         "sudo usermod -aG dialout anna"},
        {"owner only", false, 0600, false, kRules, "", Verdict::Problem, "only its owner", "udev rule"},
        {"rules not installed", true, 0660, false, "", "", Verdict::Problem, "rules are not installed",
         "--reinstall orvex-fsk-programmer"},
        {"rules not reloaded", true, 0660, false, kRules, "E:ID_VENDOR_ID=2b7e\n", Verdict::Problem,
         "not applied to this device", "udevadm control --reload && sudo udevadm trigger"},
        {"rules where udev does not look", true, 0660, false,
         "usr/local/lib/udev/rules.d/70-orvex-fsk-readers.rules", "", Verdict::Problem,
         "where udev does not look", "sudo cp /usr/local/lib/udev/rules.d/70-orvex-fsk-readers.rules /etc/udev/rules.d/"},
        {"uaccess without an active session", true, 0660, false, kRules, "G:uaccess\nG:seat\n",
         Verdict::Problem, "active local session", "sudo usermod -aG dialout anna"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        system.File("etc/group", groupLine);
        if (c.reader) system.AcmLine("ttyACM0", "1-2", "2b7e:0a3d");
        else system.UsbSerialLine("ttyACM0", "1-2", "1a86:7523", "ch341");
        system.Node("/dev/ttyACM0", c.mode);
        if (*c.rules != '\0') system.File(c.rules, "# rules\n");
        system.Udev(c.reader ? "166:0" : "188:0", c.udev);
        const DoctorLines lines =
            SystemLines(system, Operator(c.inGroup ? std::vector<gid_t>{nodeGroup} : std::vector<gid_t>{}));
        const DoctorLine line = Find(lines, "access", "/dev/ttyACM0");
        EXPECT_EQ(line.verdict, c.verdict) << Dump(lines);
        EXPECT_NE(line.finding.find(c.finding), std::string::npos) << Dump(lines);
        if (*c.fix == '\0') EXPECT_EQ(line.fix, "");
        else EXPECT_NE(line.fix.find(c.fix), std::string::npos) << Dump(lines);
    }
}

TEST(Doctor, AccessCoversHidNodesAndTheFtdiReaderOnlyWhileD2xxOpensIt) {
    FakeSystem system;
    system.HidrawNode("hidraw1", "1-4", "2b7e:0a3c");
    system.UsbDevice("1-5", "0403:c6f1", "", 7);
    system.Node("/dev/bus/usb/001/007", 0600);
    system.File(kRules, "# rules\n");
    const DoctorLines lines = SystemLines(system, Operator());
    EXPECT_EQ(Find(lines, "access", "/dev/hidraw1").verdict, Verdict::CannotTell) << Dump(lines);
    EXPECT_EQ(Find(lines, "access", "/dev/bus/usb/001/007").verdict, Verdict::Problem) << Dump(lines);
    EXPECT_EQ(Find(lines, "access", "/dev/bus/usb/001/004").check, "missing") << Dump(lines);
    // Root may open anything.
    station::UserIdentity root = Operator();
    root.uid = 0;
    EXPECT_EQ(Find(SystemLines(system, root), "access", "/dev/bus/usb/001/007").verdict, Verdict::Ok);
}

TEST(Doctor, AnAccessListEntryOfTheUserOpensTheNode) {
    // version 2; USER_OBJ rw; USER 1000 rw; GROUP_OBJ rw; MASK rw; OTHER none.
    const std::vector<unsigned char> acl = {2, 0, 0, 0,  //
                                            1, 0, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                            2, 0, 6, 0, 0xE8, 0x03, 0, 0,
                                            4, 0, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0x10, 0, 6, 0, 0xFF, 0xFF, 0xFF, 0xFF,
                                            0x20, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(station::ParseAclUsers(acl), std::vector<uid_t>{1000});
    std::vector<unsigned char> masked = acl;
    masked[30] = 4;  // the mask allows reading only
    EXPECT_TRUE(station::ParseAclUsers(masked).empty());
    EXPECT_TRUE(station::ParseAclUsers({2, 0, 0, 0, 1, 0}).empty());  // cut short
    station::NodeOwnership node{true, 0, 20, 0660, {1000}};
    station::UserIdentity user = Operator();
    user.uid = 1000;
    EXPECT_NE(station::OpenPermission(node, user, "dialout").find("access list"), std::string::npos);
}

TEST(Doctor, DeviceRulesAreInstalledOrNamedAsMissing) {
    FakeSystem system;
    system.AcmLine("ttyACM0", "1-2", "2b7e:0a3d");
    EXPECT_EQ(Find(SystemLines(system, Operator()), "udev-rules", "70-orvex-fsk-readers.rules").verdict,
              Verdict::Problem);
    system.File("etc/udev/rules.d/70-orvex-fsk-readers.rules", "# rules\n");
    const DoctorLine line =
        Find(SystemLines(system, Operator()), "udev-rules", "/etc/udev/rules.d/70-orvex-fsk-readers.rules");
    EXPECT_EQ(line.verdict, Verdict::Ok);
    // Without a USB reader the missing rules are not yet a problem.
    FakeSystem bare;
    EXPECT_EQ(Find(SystemLines(bare, Operator()), "udev-rules", "70-orvex-fsk-readers.rules").verdict,
              Verdict::CannotTell);
}

TEST(Doctor, TheDoctorKnowsEveryReaderTheDeviceRulesName) {
    std::ifstream rules(ORVEX_SOURCE_DIR "/packaging/udev/70-orvex-fsk-readers.rules");
    ASSERT_TRUE(rules);
    // The four hex digits after idVendor}==" and after idProduct}==".
    const auto value = [](const std::string& line, const std::string& key) {
        const size_t at = line.find(key + "}==\"");
        return at == std::string::npos ? std::string() : line.substr(at + key.size() + 4, 4);
    };
    int seen = 0;
    for (std::string line; std::getline(rules, line);) {
        const std::string vendor = value(line, "idVendor");
        const std::string product = value(line, "idProduct");
        if (vendor.empty() || product.empty()) continue;
        ++seen;
        EXPECT_NE(station::ModelOfUsbId(vendor + ":" + product), station::ReaderModel::None)
            << line;
    }
    EXPECT_GE(seen, 9);
}

TEST(Doctor, ModemManagerAndBrailleServiceAreFoundAmongTheProcesses) {
    struct Case {
        const char* name;
        const char* process;  // "" for none
        bool reader;          // the maker's reader, else a USB serial adapter
        const char* udev;
        const char* check;
        const char* subject;
        Verdict verdict;
        const char* fix;
    };
    const Case cases[] = {
        {"no modem manager", "", true, "", "modem-manager", "ModemManager", Verdict::Ok, ""},
        {"reader ignored", "ModemManager", true, "E:ID_MM_DEVICE_IGNORE=1\n", "modem-manager",
         "/dev/ttyACM0", Verdict::Ok, ""},
        {"reader not ignored", "ModemManager", true, "", "modem-manager", "/dev/ttyACM0",
         Verdict::Problem, "--reinstall"},
        {"adapter not covered", "ModemManager", false, "", "modem-manager", "/dev/ttyACM0",
         Verdict::CannotTell, "ID_MM_DEVICE_IGNORE"},
        {"braille service and an adapter", "brltty", false, "", "braille-service", "brltty",
         Verdict::Problem, "systemctl mask --now brltty.service brltty-udev.service"},
        {"braille service without an adapter", "brltty", true, "", "braille-service", "brltty",
         Verdict::Ok, ""},
        {"no braille service", "", false, "", "braille-service", "brltty", Verdict::Ok, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        system.Process(1, "systemd");
        if (*c.process != '\0') system.Process(812, c.process);
        // The adapter's line is ttyUSB so the braille service would take it.
        const char* line = c.reader ? "ttyACM0" : "ttyUSB0";
        if (c.reader) system.AcmLine(line, "1-2", "2b7e:0a3d");
        else system.UsbSerialLine(line, "1-2", "10c4:ea60", "cp210x");
        system.Udev(c.reader ? "166:0" : "188:0", c.udev);
        std::string subject = c.subject;
        if (subject == "/dev/ttyACM0") subject = std::string("/dev/") + line;
        const DoctorLines lines = SystemLines(system, Operator());
        const DoctorLine found = Find(lines, c.check, subject);
        EXPECT_EQ(found.verdict, c.verdict) << Dump(lines);
        if (*c.fix == '\0') EXPECT_EQ(found.fix, "");
        else EXPECT_NE(found.fix.find(c.fix), std::string::npos) << Dump(lines);
    }
}

TEST(Doctor, TheFtdiDriverMatchesTheWayTheStationOpensTheReader) {
    struct Case {
        const char* name;
        const char* driver;
        const char* port;
        Verdict verdict;
        const char* fix;
    };
    const Case cases[] = {
        {"kernel driver, station uses D2XX", "ftdi_sio", "QA7F31", Verdict::Problem,
         "echo -n 1-5:1.0 | sudo tee /sys/bus/usb/drivers/ftdi_sio/unbind"},
        {"no driver, station uses the line", "", "/dev/ttyUSB0", Verdict::Problem,
         "echo 0403 c6f1 | sudo tee /sys/bus/usb-serial/drivers/ftdi_sio/new_id"},
        {"kernel driver, station uses the line", "ftdi_sio", "/dev/ttyUSB0", Verdict::Ok, ""},
        {"no driver, station uses D2XX", "", "QA7F31", Verdict::Ok, ""},
        {"kernel driver, nothing stored", "ftdi_sio", "", Verdict::Ok, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSystem system;
        system.UsbDevice("1-5", "0403:c6f1", c.driver);
        const DoctorLines lines = SystemLines(system, Operator(), c.port);
        const DoctorLine line = Find(lines, "ftdi-driver", "USB 1-5");
        EXPECT_EQ(line.verdict, c.verdict) << Dump(lines);
        if (*c.fix == '\0') EXPECT_EQ(line.fix, "");
        else EXPECT_NE(line.fix.find(c.fix), std::string::npos) << Dump(lines);
    }
}

TEST(Doctor, AFirewallThatDropsTheSearchIsFoundInTheRuleset) {
    struct Case {
        const char* name;
        const char* source;
        const char* ruleset;  // nullptr: could not be read
        Verdict verdict;
        const char* fix;
    };
    const Case cases[] = {
        {"nft drops the port", "nft list ruleset",
         "table inet filter {\n\tchain input {\n\t\ttype filter hook input priority filter; policy accept;\n"
         "\t\tudp sport 30718 drop\n\t}\n}\n",
         Verdict::Problem, "nft insert rule inet filter input udp sport 30718 accept"},
        {"nft rejects the port in a set", "nft list ruleset",
         "table inet filter {\n chain input {\n  type filter hook input priority 0; policy accept;\n"
         "  udp dport { 53, 30718 } reject\n }\n}\n",
         Verdict::Problem, "udp sport 30718 accept"},
        {"nft drops what no rule accepts", "nft list ruleset",
         "table inet filter {\n chain input {\n  type filter hook input priority 0; policy drop;\n"
         "  ct state established,related accept\n }\n}\n",
         Verdict::Problem, "udp sport 30718 accept"},
        {"nft drops the rest but accepts the readers", "nft list ruleset",
         "table inet filter {\n chain input {\n  type filter hook input priority 0; policy drop;\n"
         "  udp sport 30718 accept\n }\n}\n",
         Verdict::Ok, ""},
        {"nft drops another port", "nft list ruleset",
         "table inet filter {\n chain input {\n  type filter hook input priority 0; policy accept;\n"
         "  udp dport 307180 drop\n  tcp dport 30718 drop\n }\n chain output {\n"
         "  type filter hook output priority 0; policy drop;\n }\n}\n",
         Verdict::Ok, ""},
        {"nft without rules", "nft list ruleset", "", Verdict::Ok, ""},
        {"iptables drops the port", "iptables-save",
         "*filter\n:INPUT ACCEPT [0:0]\n-A INPUT -p udp -m udp --sport 30718 -j DROP\nCOMMIT\n",
         Verdict::Problem, "iptables -I INPUT -p udp --sport 30718 -j ACCEPT"},
        {"iptables drops what no rule accepts", "iptables-save",
         "*filter\n:INPUT DROP [0:0]\n-A INPUT -p tcp --dport 22 -j ACCEPT\nCOMMIT\n",
         Verdict::Problem, "iptables -I INPUT"},
        {"iptables accepts the readers", "iptables-save",
         "*filter\n:INPUT DROP [0:0]\n-A INPUT -p udp -m udp --sport 30718 -j ACCEPT\nCOMMIT\n",
         Verdict::Ok, ""},
        {"not readable", "nft and iptables-save are missing or refuse", nullptr,
         Verdict::CannotTell, "sudo lfprog doctor --lan"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<std::string> ruleset =
            c.ruleset != nullptr ? std::optional<std::string>(c.ruleset) : std::nullopt;
        const DoctorLine line = station::JudgeFirewall(ruleset, c.source);
        EXPECT_EQ(line.verdict, c.verdict) << line.finding;
        if (*c.fix == '\0') EXPECT_EQ(line.fix, "");
        else EXPECT_NE(line.fix.find(c.fix), std::string::npos) << line.fix;
    }
}

class DoctorRegister : public ::testing::Test {
  protected:
    station::RegisterSettings File(const char* name) const {
        station::RegisterSettings settings;
        settings.file = m_dir.filePath(name);
        return settings;
    }
    static DoctorLine Line(const DoctorLines& lines, const std::string& part) {
        for (const DoctorLine& line : lines)
            if (line.finding.find(part) != std::string::npos) return line;
        return {"missing", Verdict::Ok, "", "", ""};
    }
    // A register the station made, with its schema version set to version.
    station::RegisterSettings Made(const char* name, int version) const {
        const station::RegisterSettings settings = File(name);
        {
            station::CCardRegister made(settings, QStringLiteral("test"));
            EXPECT_TRUE(made.Open()) << made.LastError().toStdString();
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bump"));
            db.setDatabaseName(settings.file);
            EXPECT_TRUE(db.open());
            QSqlQuery(db).exec(QStringLiteral("UPDATE register_info SET value = '%1' "
                                              "WHERE key = 'schema_version'").arg(version));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("bump"));
        return settings;
    }
    QTemporaryDir m_dir;
};

TEST_F(DoctorRegister, AFileRegisterIsReadNeverMade) {
    station::RegisterSettings off;
    off.enabled = false;
    EXPECT_EQ(station::CheckRegister(off).front().finding, "switched off");

    const station::RegisterSettings missing = File("none.sqlite");
    const DoctorLines lines = station::CheckRegister(missing);
    EXPECT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines.front().verdict, Verdict::Ok);
    EXPECT_FALSE(QFileInfo::exists(missing.file)) << "the doctor made the register";

    const DoctorLines current = station::CheckRegister(Made("current.sqlite", station::kRegisterSchemaVersion));
    EXPECT_FALSE(station::HasProblem(current)) << Dump(current);
    EXPECT_EQ(Line(current, "schema version").finding,
              "schema version " + std::to_string(station::kRegisterSchemaVersion));
    EXPECT_EQ(Line(current, "file modes").verdict, Verdict::Ok);
}

TEST_F(DoctorRegister, ANewerSchemaAndAFileOthersMayReadAreProblems) {
    const DoctorLines newer = station::CheckRegister(Made("newer.sqlite", 99));
    EXPECT_EQ(Line(newer, "schema version 99").verdict, Verdict::Problem) << Dump(newer);
    EXPECT_NE(Line(newer, "schema version 99").fix.find("orvex-fsk-programmer"), std::string::npos);

    const DoctorLines older = station::CheckRegister(Made("older.sqlite", 2));
    EXPECT_EQ(Line(older, "schema version 2").verdict, Verdict::Ok) << Dump(older);

    const station::RegisterSettings exposed = Made("exposed.sqlite", station::kRegisterSchemaVersion);
    ASSERT_EQ(chmod(exposed.file.toLocal8Bit().constData(), 0644), 0);
    const DoctorLines lines = station::CheckRegister(exposed);
    EXPECT_EQ(Line(lines, "file modes").verdict, Verdict::Problem) << Dump(lines);
    EXPECT_NE(Line(lines, "file modes").fix.find("chmod 600"), std::string::npos) << Dump(lines);

    const station::RegisterSettings foreign = File("foreign.sqlite");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("foreign"));
        db.setDatabaseName(foreign.file);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec(QStringLiteral("CREATE TABLE photos (id INTEGER)"));
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("foreign"));
    EXPECT_EQ(Line(station::CheckRegister(foreign), "not a card register").verdict, Verdict::Problem);
}

// lfprog doctor as a program: the line checks against the virtual reader. The system lines
// describe this machine, so only their form and the exit code's agreement with them are
// checked.
class LfprogDoctor : public Lfprog {
  protected:
    std::vector<QJsonObject> Doctor(const std::vector<std::string>& args, int& exit) {
        Result result = RunLfprog(args);
        exit = result.exit;
        const std::vector<QJsonObject> lines = JsonLines(result.out);
        bool problem = false;
        for (const QJsonObject& line : lines) {
            const QString verdict = line.value("verdict").toString();
            EXPECT_TRUE(verdict == "ok" || verdict == "problem" || verdict == "cannot tell") << result.out;
            if (verdict == "problem") {
                problem = true;
                EXPECT_FALSE(line.value("fix").toString().isEmpty()) << result.out;
            }
        }
        EXPECT_EQ(exit, problem ? kExitFailure : 0) << result.out << result.err;
        return lines;
    }
    static QJsonObject Check(const std::vector<QJsonObject>& lines, const char* check) {
        for (const QJsonObject& line : lines)
            if (line.value("check").toString() == check) return line;
        return {};
    }
};

TEST_F(LfprogDoctor, AReaderThatAnswersIsNamedWithItsVersion) {
    int exit = -1;
    const auto lines = Doctor({"doctor", "--port", m_port, "--register", "off", "--json"}, exit);
    EXPECT_EQ(Check(lines, "line-open").value("verdict").toString(), "ok");
    const QJsonObject version = Check(lines, "line-version");
    EXPECT_EQ(version.value("verdict").toString(), "ok");
    EXPECT_TRUE(version.value("finding").toString().startsWith("answers at 19200 baud")) << version.value("finding").toString().toStdString();
    EXPECT_TRUE(Check(lines, "line-baud").isEmpty());
    EXPECT_EQ(Check(lines, "register").value("finding").toString(), "switched off");
}

TEST_F(LfprogDoctor, ALineHeldByAnotherProgramNamesTheProcess) {
    const int held = open(m_port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    int exit = -1;
    const auto lines = Doctor({"doctor", "--port", m_port, "--register", "off", "--json"}, exit);
    close(held);
    const QJsonObject open = Check(lines, "line-open");
    EXPECT_EQ(open.value("verdict").toString(), "problem");
    EXPECT_TRUE(open.value("finding").toString().contains("process " + QString::number(getpid())));
    EXPECT_NE(open.value("fix").toString().toStdString().find("kill " + std::to_string(getpid())),
              std::string::npos);
    EXPECT_TRUE(Check(lines, "line-version").isEmpty()) << "the held line was used";
    EXPECT_EQ(exit, kExitFailure);
}

TEST_F(LfprogDoctor, AReaderAtAnotherBaudRateIsFoundAndTheRateNamed) {
    Engine().SetBaudOnly(38400);
    int exit = -1;
    const auto lines =
        Doctor({"doctor", "--port", m_port, "--baud", "9600", "--register", "off", "--json"}, exit);
    const QJsonObject version = Check(lines, "line-version");
    EXPECT_EQ(version.value("verdict").toString(), "problem");
    EXPECT_TRUE(version.value("finding").toString().contains("at 9600 baud"));
    EXPECT_TRUE(version.value("fix").toString().contains("--baud 38400"));
    const QJsonObject baud = Check(lines, "line-baud");
    EXPECT_EQ(baud.value("verdict").toString(), "ok");
    EXPECT_TRUE(baud.value("finding").toString().startsWith("answers at 38400 baud"))
        << baud.value("finding").toString().toStdString();

    Engine().SetSilent(true);
    const auto silent =
        Doctor({"doctor", "--port", m_port, "--register", "off", "--json"}, exit);
    EXPECT_EQ(Check(silent, "line-baud").value("verdict").toString(), "problem");
    EXPECT_TRUE(Check(silent, "line-baud").value("finding").toString().startsWith("no answer at any"));
    EXPECT_EQ(exit, kExitFailure);
}

TEST_F(LfprogDoctor, AMissingLineAndTheTextForm) {
    Result result = RunLfprog({"doctor", "--port", ScratchPath("ttyNone"), "--register", "off"});
    EXPECT_EQ(result.exit, kExitFailure);
    std::string verdict = "problem";
    verdict.resize(12, ' ');
    std::string check = "line-open";
    check.resize(16, ' ');
    const std::string expected = verdict + check + ScratchPath("ttyNone") + ": no such line\n" +
                                 std::string(28, ' ') + "fix: lfprog list";
    EXPECT_NE(result.out.find(expected), std::string::npos) << result.out;
    EXPECT_NE(result.err.find("found"), std::string::npos) << result.err;
}

}  // namespace
}  // namespace lfprogtest
