// The personnel department's holder list imported into the register: the columns found by
// their header words or named by the operator, and one sequence of files (encodings,
// separators, quoted line breaks, refused lines, a second list that changes and marks people
// as left) with what each import reports and what the register then holds, on SQLite and
// PostgreSQL. A refused import must store nothing.
#include <gtest/gtest.h>

#include "RegisterCases.h"
#include "station/register/HolderListImport.h"
#include "station/register/Holders.h"

using namespace station;
using namespace registertest;

namespace {

using Field = HolderField;

HolderColumnMap Map(std::initializer_list<std::pair<Field, int>> columns) {
    HolderColumnMap map;
    for (const auto& [field, column] : columns) map[field] = column;
    return map;
}

TEST(HolderColumns, HeaderWordsInGermanAndEnglishFindTheirFields) {
    struct Case {
        QStringList header;
        HolderColumnMap expected;
    };
    const Case cases[] = {
        {{"Personalnummer", "Name", "Abteilung", "Bemerkung"},
         Map({{Field::PersonnelNumber, 0},
              {Field::Name, 1},
              {Field::Department, 2},
              {Field::Notes, 3}})},
        {{" personnel number ", "Department", "First name", "Last_Name", "Notes"},
         Map({{Field::PersonnelNumber, 0},
              {Field::Department, 1},
              {Field::FirstName, 2},
              {Field::LastName, 3},
              {Field::Notes, 4}})},
        // Unknown columns stay unmapped; a second column of a field does not take it over.
        {{"Eintritt", "PNR", "Nachname", "Vorname", "Pers.-Nr."},
         Map({{Field::PersonnelNumber, 1}, {Field::LastName, 2}, {Field::FirstName, 3}})},
        {{}, HolderColumnMap()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header.join(u'|').toStdString());
        EXPECT_EQ(GuessHolderColumns(c.header).columns, c.expected.columns);
    }
}

TEST(HolderColumns, AssignmentsMoveAColumnOrReportWhatTheyDoNotKnow) {
    const QStringList header = {"Nr", "Wer", "Bereich", "Name"};
    using Kind = HolderColumnAssignmentError::Kind;
    struct Case {
        const char* assignment;
        std::optional<Kind> error;
        QString word;
        HolderColumnMap expected;
    };
    const HolderColumnMap guessed = Map({{Field::Name, 3}});
    const Case cases[] = {
        {"Nr=personnel-number", {}, {}, Map({{Field::PersonnelNumber, 0}, {Field::Name, 3}})},
        // By number, and a field's header words; the column leaves the field it fed.
        {"4=Abteilung", {}, {}, Map({{Field::Department, 3}})},
        {"wer=NAME", {}, {}, Map({{Field::Name, 1}})},
        {"Name=ignore", {}, {}, HolderColumnMap()},
        {"Nr", Kind::NoEqualsSign, "Nr", guessed},
        {"Wann=name", Kind::UnknownColumn, "Wann", guessed},
        {"5=name", Kind::UnknownColumn, "5", guessed},
        {"Nr=birthday", Kind::UnknownField, "birthday", guessed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.assignment);
        HolderColumnMap map = guessed;
        const auto error = AssignHolderColumn(header, QString::fromUtf8(c.assignment), map);
        ASSERT_EQ(error.has_value(), c.error.has_value());
        if (error) {
            EXPECT_EQ(error->kind, *c.error);
            EXPECT_EQ(error->word, c.word);
        }
        EXPECT_EQ(map.columns, c.expected.columns);
    }
}

// Lists compared as one text, so a failure shows them readably.
std::string Lines(const QStringList& lines) {
    return lines.join(u'\n').toStdString();
}

QString ProblemText(const HolderLineProblem& problem) {
    using Kind = HolderLineProblem::Kind;
    QString text = QString::number(problem.line) + u':';
    switch (problem.kind) {
        case Kind::UnclosedQuote:
            return text + "unclosed quote";
        case Kind::FieldCount:
            return text + QStringLiteral("%1 fields").arg(problem.count);
        case Kind::NoPersonnelNumber:
            return text + "no personnel number";
        case Kind::NoName:
            return text + "no name";
        case Kind::DuplicatePersonnelNumber:
            return text + QStringLiteral("duplicate of %1").arg(problem.other);
        case Kind::Register:
            return text + "register: " + problem.reason;
    }
    return text;
}

// Every holder of the register as "personnel number|name|department|notes", "|left" added.
QStringList Stored(CCardRegister& cardRegister) {
    HolderFilter everyone;
    everyone.includeLeft = true;
    const auto holders = cardRegister.Holders(everyone);
    EXPECT_TRUE(holders) << cardRegister.LastError().toStdString();
    QStringList lines;
    for (const Holder& holder : holders.value_or(std::vector<Holder>())) {
        lines << QStringList{holder.personnelNumber, holder.name, holder.department, holder.notes}
                         .join(u'|') +
                     (holder.leftSince.isValid() ? "|left" : "");
    }
    lines.sort();
    return lines;
}

void ImportSequence(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
    using R = HolderListImportResult;
    struct Step {
        const char* name;
        QByteArray bytes;
        CsvReadOptions options;
        bool markLeft;
        R result;
        QStringList problems;
        std::array<size_t, 4> plan;  // added, changed, unchanged, left
        QStringList stored;          // after the step
    };
    const QStringList first = {"1001|Anna Müller|Einkauf|", "1002|Bernd Schulz|IT|Schlüssel\nTor 2",
                               "1003|Carla Díaz|IT|"};
    const Step steps[] = {
        {"utf-8 with byte order mark, semicolons, an empty line, a quoted line break",
         "\xEF\xBB\xBFPersonalnummer;Name;Abteilung;Bemerkung\r\n"
         "1001;Anna M\xC3\xBCller;Einkauf;\r\n"
         ";;;\r\n"
         "1002;Bernd Schulz;IT;\"Schl\xC3\xBCssel\r\nTor 2\"\r\n"
         "\r\n"
         " 1003 ;\"Carla D\xC3\xAD"
         "az\";IT;\r\n",
         {},
         false,
         R::Imported,
         {},
         {3, 0, 0, 0},
         first},
        {"a duplicate personnel number refuses the import and names both lines",
         "PNR,Name,Department\n1001,Anna M\xC3\xBCller,Verkauf\n2001,Dora,IT\n1001,Else,IT\n",
         {},
         false,
         R::Refused,
         {"4:duplicate of 2"},
         {1, 1, 0, 0},
         first},
        {"lines that cannot be read refuse it too",
         "PNR,Name,Department\n2001,\"Dora, D.\",IT\n2002,Emil, E.,IT\n,Fritz,IT\n2003,,IT\n"
         "2004,\"Gerd,IT\n",
         {},
         false,
         R::Refused,
         {"3:4 fields", "4:no personnel number", "5:no name", "6:unclosed quote"},
         {1, 0, 0, 0},
         first},
        {"without a name column nothing is planned",
         "Personalnummer;Abteilung\n1001;IT\n",
         {},
         false,
         R::ColumnsMissing,
         {},
         {0, 0, 0, 0},
         first},
        {"windows-1252 with tabs, first and last name: a department changes, one has left",
         "Personalnummer\tVorname\tNachname\tAbteilung\r\n"
         "1001\tAnna\tM\xFCller\tVerkauf\r\n"
         "1002\tBernd\tSchulz\tIT\r\n"
         "1004\tJ\xFCrgen\tGro\xDF\tLager\r\n",
         {},
         true,
         R::Imported,
         {},
         {1, 1, 1, 1},
         {"1001|Anna Müller|Verkauf|", "1002|Bernd Schulz|IT|Schlüssel\nTor 2",
          "1003|Carla Díaz|IT||left", "1004|Jürgen Groß|Lager|"}},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        CHolderListImport import;
        import.Read(step.bytes, step.options);
        HolderImportPlan plan;
        EXPECT_EQ(import.Apply(cardRegister, step.markLeft, plan), step.result)
            << cardRegister.LastError().toStdString();
        QStringList problems;
        for (const HolderLineProblem& problem : import.Problems()) problems << ProblemText(problem);
        EXPECT_EQ(Lines(problems), Lines(step.problems));
        EXPECT_EQ((std::array<size_t, 4>{plan.added.size(), plan.changed.size(),
                                         plan.unchanged.size(), plan.left.size()}),
                  step.plan);
        EXPECT_EQ(Lines(Stored(cardRegister)), Lines(step.stored));
    }

    // The same list again changes nothing; the plan says so before and after.
    CHolderListImport again;
    again.Read(
        "Personalnummer;Name;Abteilung\n1001;Anna M\xC3\xBC"
        "ller;Verkauf\n"
        "1002;Bernd Schulz;IT\n1004;J\xC3\xBCrgen Gro\xC3\x9F;Lager\n");
    HolderImportPlan plan;
    EXPECT_EQ(again.Plan(cardRegister, true, plan), R::Imported);
    EXPECT_EQ(plan.unchanged.size(), 3u);
    EXPECT_TRUE(plan.added.empty() && plan.changed.empty() && plan.left.empty());
}

class HolderListImport : public testing::TestWithParam<RegisterSettings::Kind> {};

TEST_P(HolderListImport, StoresAListWholeOrNotAtAll) {
    RegisterDatabases databases(GetParam());
    ImportSequence(databases, databases.Fresh());
}

INSTANTIATE_TEST_SUITE_P(, HolderListImport,
                         testing::Values(RegisterSettings::Kind::SQLite,
                                         RegisterSettings::Kind::PostgreSQL),
                         [](const auto& info) {
                             return info.param == RegisterSettings::Kind::SQLite ? "SQLite"
                                                                                 : "PostgreSQL";
                         });

}  // namespace
