// CSV files as spreadsheets and people leave them: encodings, separators, quoting, line ends,
// and the record's first line number that error messages name.
#include <gtest/gtest.h>

#include "station/CsvReader.h"

using namespace station;

namespace {

// The records as "line:field|field" strings, easy to compare in a table.
QStringList Flatten(const std::vector<CsvRecord>& records) {
    QStringList lines;
    for (const CsvRecord& record : records) {
        lines.append(QString::number(record.line) + u':' + record.fields.join(u'|'));
    }
    return lines;
}

}  // namespace

TEST(CsvReader, ReadsEncodingsSeparatorsQuotesAndLineEnds) {
    struct Case {
        const char* name;
        QByteArray bytes;
        CsvReadOptions options;
        CsvEncoding encoding;
        QChar separator;
        QStringList records;
    };
    const Case cases[] = {
        {"utf-8, semicolon, LF",
         "PNR;Name\n1;M\xC3\xBCller\n",
         {},
         CsvEncoding::Utf8,
         u';',
         {"1:PNR|Name", "2:1|M\u00FCller"}},
        {"utf-8 with byte order mark, CRLF",
         "\xEF\xBB\xBFPNR,Name\r\n7,\xC3\x9F\r\n",
         {},
         CsvEncoding::Utf8,
         u',',
         {"1:PNR|Name", "2:7|\u00DF"}},
        {"windows-1252 umlauts and euro sign",
         "PNR;Name\r\n1;J\xFCrgen \x80\r\n",
         {},
         CsvEncoding::Windows1252,
         u';',
         {"1:PNR|Name", "2:1|J\u00FCrgen \u20AC"}},
        {"tab",
         "PNR\tName\tNotes\n1\tA, B\tx;y\n",
         {},
         CsvEncoding::Utf8,
         u'\t',
         {"1:PNR|Name|Notes", "2:1|A, B|x;y"}},
        // The separators inside the quoted header name do not count.
        {"separator in quoted header",
         "\"a;b;c\",Name,X\n1,2,3\n",
         {},
         CsvEncoding::Utf8,
         u',',
         {"1:a;b;c|Name|X", "2:1|2|3"}},
        {"quoted line breaks and doubled quotes",
         "PNR;Notes;X\r\n1;\"two\r\nlines \"\"q\"\"\";a\r\n2;\"\";\"b;c\"\r\n",
         {},
         CsvEncoding::Utf8,
         u';',
         {"1:PNR|Notes|X", "2:1|two\nlines \"q\"|a", "4:2||b;c"}},
        {"blank lines skipped, numbers kept",
         "A;B\n\n1;2\r\n\r\n3;\n",
         {},
         CsvEncoding::Utf8,
         u';',
         {"1:A|B", "3:1|2", "5:3|"}},
        {"no line end at the end, one column",
         "Name\nx",
         {},
         CsvEncoding::Utf8,
         u';',
         {"1:Name", "2:x"}},
        {"text after a closing quote kept",
         "A;B\n\"x\"y;z\n",
         {},
         CsvEncoding::Utf8,
         u';',
         {"1:A|B", "2:xy|z"}},
        {"overridden separator and encoding",
         "A;B,C\n\xC3\xA4;b,c\n",
         {CsvEncoding::Windows1252, QChar(u',')},
         CsvEncoding::Windows1252,
         u',',
         {"1:A;B|C", "2:\u00C3\u00A4;b|c"}},
        {"empty file", "", {}, CsvEncoding::Utf8, u';', {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CsvTable table;
        CsvError error;
        ASSERT_TRUE(ReadCsv(c.bytes, c.options, table, error));
        EXPECT_EQ(error.kind, CsvError::Kind::None);
        EXPECT_EQ(table.encoding, c.encoding);
        EXPECT_EQ(table.separator, c.separator);
        EXPECT_EQ(Flatten(table.records), c.records);
    }
}

TEST(CsvReader, UnclosedQuoteIsRefusedWithTheLineItOpenedOn) {
    const QByteArray cases[] = {
        "A;B\n1;2\n3;\"open\nstill open\n", "A;B\n1;2\n\"",
        "A;B\n1;2\n3;\"closed\"\"\n",  // a doubled quote at the end closes nothing
    };
    for (const QByteArray& bytes : cases) {
        SCOPED_TRACE(bytes.constData());
        CsvTable table;
        CsvError error;
        EXPECT_FALSE(ReadCsv(bytes, {}, table, error));
        EXPECT_EQ(error.kind, CsvError::Kind::UnclosedQuote);
        EXPECT_EQ(error.line, 3);
        EXPECT_EQ(table.records.size(), 2u);
    }
}

TEST(CsvReader, BrokenUtf8AfterAByteOrderMarkStaysUtf8) {
    CsvEncoding used = CsvEncoding::Detect;
    bool byteOrderMark = false;
    const QString text =
        DecodeCsvBytes("\xEF\xBB\xBFx\xFFy", CsvEncoding::Detect, used, byteOrderMark);
    EXPECT_EQ(used, CsvEncoding::Utf8);
    EXPECT_TRUE(byteOrderMark);
    EXPECT_EQ(text, QStringLiteral("x\uFFFDy"));
}
