// Named filters in the settings file: file order, replacing in place, removing lines,
// other sections and odd lines kept, a missing file, CRLF line ends.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "named_filters.h"

using namespace AnalyzerProject;

namespace {

class NamedFiltersTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }

    QString Path() const { return dir.filePath("config/analyzer.ini"); }

    void WriteFile(const std::string& contents) const
    {
        QDir().mkpath(dir.filePath("config"));
        QFile file(Path());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(contents.data(), static_cast<qint64>(contents.size()));
    }

    std::string ReadFile() const
    {
        QFile file(Path());
        if (!file.open(QIODevice::ReadOnly))
            return "<missing>";
        return file.readAll().toStdString();
    }

    static std::vector<std::string> NamesOf(const std::vector<NamedFilter>& list)
    {
        std::vector<std::string> names;
        for (const NamedFilter& f : list)
            names.push_back(f.name);
        return names;
    }

    QTemporaryDir dir;
};

using Names = std::vector<std::string>;

} // namespace

TEST_F(NamedFiltersTest, MissingFileHasNoFiltersAndIsCreatedBySave)
{
    NamedFilters filters(Path());
    EXPECT_TRUE(filters.List().empty());
    EXPECT_EQ(filters.Value("sip"), "");
    EXPECT_FALSE(filters.Remove("sip"));
    EXPECT_EQ(ReadFile(), "<missing>");

    ASSERT_TRUE(filters.Save("sip", "udp port 5060"));
    EXPECT_EQ(ReadFile(), "[filters]\nsip=udp port 5060\n");
    EXPECT_EQ(filters.Value("sip"), "udp port 5060");
}

TEST_F(NamedFiltersTest, ListsInFileOrderAndKeepsEverythingElse)
{
    WriteFile("; settings\n"
              "[general]\n"
              "zeta=1\n"
              "\n"
              "[Filters]\n"
              "sip = udp port 5060\n"
              "no equals sign here\n"
              "rtp=udp portrange 10000-20000\n"
              "# a comment=not a filter\n"
              "alpha=host 10.0.0.1 and (port 5060 or port 5061)\n"
              "=no name\n"
              "\n"
              "[other]\n"
              "k=v\n");
    NamedFilters filters(Path());
    const std::vector<NamedFilter> list = filters.List();
    EXPECT_EQ(NamesOf(list), (Names{"sip", "rtp", "alpha"}));
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].value, "udp port 5060");
    EXPECT_EQ(filters.Value("sip"), "udp port 5060");
    EXPECT_EQ(filters.Value("alpha"), "host 10.0.0.1 and (port 5060 or port 5061)");
    EXPECT_EQ(filters.Value("zeta"), ""); // another section's key
    EXPECT_EQ(filters.Value("k"), "");

    // Replacing keeps the line where it is, as one line.
    ASSERT_TRUE(filters.Save("rtp", "udp"));
    // A new name goes after the section's last line, before the blank line.
    ASSERT_TRUE(filters.Save("beta", "tcp port 5060"));
    ASSERT_TRUE(filters.Remove("sip"));
    EXPECT_EQ(ReadFile(), "; settings\n"
                          "[general]\n"
                          "zeta=1\n"
                          "\n"
                          "[Filters]\n"
                          "no equals sign here\n"
                          "rtp=udp\n"
                          "# a comment=not a filter\n"
                          "alpha=host 10.0.0.1 and (port 5060 or port 5061)\n"
                          "=no name\n"
                          "beta=tcp port 5060\n"
                          "\n"
                          "[other]\n"
                          "k=v\n");
    EXPECT_EQ(NamesOf(filters.List()), (Names{"rtp", "alpha", "beta"}));
    EXPECT_EQ(filters.Value("sip"), "");
}

TEST_F(NamedFiltersTest, SaveReplacesWithoutASecondLine)
{
    NamedFilters filters(Path());
    ASSERT_TRUE(filters.Save("sip", "udp port 5060"));
    ASSERT_TRUE(filters.Save("rtp", "udp"));
    ASSERT_TRUE(filters.Save("sip", "udp port 5070"));
    EXPECT_EQ(ReadFile(), "[filters]\nsip=udp port 5070\nrtp=udp\n");
    EXPECT_EQ(NamesOf(filters.List()), (Names{"sip", "rtp"}));
}

TEST_F(NamedFiltersTest, CrlfLinesReadAndWrittenAsCrlf)
{
    WriteFile("[filters]\r\nsip=udp port 5060\r\nrtp=udp\r\n[x]\r\ny=z\r\n");
    NamedFilters filters(Path());
    const std::vector<NamedFilter> list = filters.List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].value, "udp port 5060");
    EXPECT_EQ(list[1].value, "udp");
    ASSERT_TRUE(filters.Save("tcp", "tcp"));
    ASSERT_TRUE(filters.Remove("sip"));
    EXPECT_EQ(ReadFile(), "[filters]\r\nrtp=udp\r\ntcp=tcp\r\n[x]\r\ny=z\r\n");
}

TEST_F(NamedFiltersTest, NamesThatWouldNotReadBackAreRefused)
{
    NamedFilters filters(Path());
    for (const char* name : {"", " sip", "sip ", "a=b", "[x]", ";c", "#c", "a\nb"}) {
        SCOPED_TRACE(name);
        EXPECT_FALSE(filters.Save(name, "udp"));
    }
    EXPECT_FALSE(filters.Save("sip", "udp\nport 5060"));
    EXPECT_EQ(ReadFile(), "<missing>");
    // Non-ASCII names and values are kept as UTF-8.
    ASSERT_TRUE(filters.Save(QString::fromUtf8("büro"), QString::fromUtf8("host 10.0.0.1 # ü")));
    EXPECT_EQ(filters.Value(QString::fromUtf8("büro")), QString::fromUtf8("host 10.0.0.1 # ü"));
}

TEST(IniTextTest, ParsesAnyTextAndWritesItBack)
{
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"", ""},
        {"a", "a\n"},
        {"a\n\n", "a\n\n"},
        {"\xEF\xBB\xBF[filters]\nk=v", "\xEF\xBB\xBF[filters]\nk=v\n"},
        {"x\r\ny\nz", "x\r\ny\r\nz\r\n"},
        {"a\r\r\nb", "a\r\nb\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.in);
        EXPECT_EQ(IniText::Parse(c.in).Serialize(), c.out);
    }
    const IniText bom = IniText::Parse("\xEF\xBB\xBF[filters]\nk=v");
    ASSERT_EQ(bom.Entries("filters").size(), 1u);
    EXPECT_EQ(bom.Entries("filters")[0].name, "k");
    // Only the first section of a name is used.
    const IniText twice = IniText::Parse("[filters]\na=1\n[filters]\nb=2\n");
    ASSERT_EQ(twice.Entries("filters").size(), 1u);
    EXPECT_EQ(twice.Entries("filters")[0].name, "a");
}

TEST(NamedFiltersPath, DefaultIsTheSettingsFileInTheConfigFolder)
{
    const QString path = NamedFilters::DefaultPath();
    EXPECT_TRUE(path.endsWith("/corvane/analyzer.ini")) << path.toStdString();
    EXPECT_TRUE(QDir::isAbsolutePath(path)) << path.toStdString();
}
