// Named filter expressions kept in the settings file "analyzer.ini", section "[filters]":
// one "name=expression" line per filter, listed in the order of the file.
//
// The file is read afresh for every operation and rewritten at once (through a temporary
// file in the same folder that replaces it, so an interrupted write never leaves a cut-off
// file). Lines the filters do not own (other sections, comments, lines without "=") are
// written back as they were.
#pragma once

#include <QString>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace AnalyzerProject {

struct NamedFilter {
    std::string name;
    std::string value;
};

// The text of a settings file in the usual sectioned format, line by line. Section names
// match without regard to case; keys match exactly. A key is the text before a line's
// first "=" and its value the text after it, both without surrounding blanks. Lines whose
// first non-blank character is ";" or "#" are comments. Only the first section of a given
// name is used.
class IniText {
public:
    // Any bytes: line ends may be "\n" or "\r\n"; a UTF-8 byte order mark is kept.
    static IniText Parse(std::string_view contents);
    // Every line with the file's line end ("\r\n" if its first line ended so).
    std::string Serialize() const;

    // The key lines of `section`, in file order.
    std::vector<NamedFilter> Entries(std::string_view section) const;
    // The value of the first line of `key` in `section`.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;
    // Replaces the value of the first line of `key` in place, or adds "key=value" after the
    // last key line of the section (making the section at the end if there is none).
    // False (nothing changed) for a key or value that would not read back: see ValidKey.
    bool Set(std::string_view section, std::string_view key, std::string_view value);
    // Removes every line of `key` in `section`; answers whether there was one.
    bool Remove(std::string_view section, std::string_view key);

    // A key that reads back as itself: not empty, no "=" or line break, no blanks around
    // it, and not starting like a comment or a section header.
    static bool ValidKey(std::string_view key);
    // A value without line breaks.
    static bool ValidValue(std::string_view value);

    const std::vector<std::string>& Lines() const { return lines; }

private:
    struct SectionRange {
        size_t header;
        size_t end; // one past its last line
    };
    std::optional<SectionRange> FindSection(std::string_view section) const;

    std::vector<std::string> lines; // without their line ends
    bool crlf = false;
    bool byteOrderMark = false;
};

class NamedFilters {
public:
    static constexpr const char* kFileName = "analyzer.ini";
    static constexpr const char* kSection = "filters";

    // The settings file in the user's configuration folder.
    static QString DefaultPath();

    explicit NamedFilters(QString filePath = DefaultPath());

    const QString& FilePath() const { return path; }

    // (name, expression) of every filter, in file order. A missing file has none.
    std::vector<NamedFilter> List() const;
    // The expression stored under `name`, empty if there is none.
    QString Value(const QString& name) const;
    // Writes `value` under `name`, replacing an earlier value. False if the name or value
    // cannot be stored (see IniText::ValidKey) or the file cannot be written.
    bool Save(const QString& name, const QString& value) const;
    // Removes `name`. False if it was not there or the file cannot be written.
    bool Remove(const QString& name) const;

private:
    IniText Read() const;
    bool Write(const IniText& text) const;

    QString path;
};

} // namespace AnalyzerProject
