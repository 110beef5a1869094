#include "named_filters.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace AnalyzerProject {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

bool SameName(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

enum class LineKind { Blank, Comment, Header, Key, Other };

struct LineInfo {
    LineKind kind = LineKind::Other;
    std::string_view name;  // section name of a header, key of a key line
    std::string_view value; // value of a key line
    size_t equals = 0;      // position of the first "=" of a key line
};

LineInfo Classify(std::string_view line)
{
    LineInfo info;
    const std::string_view t = Trim(line);
    if (t.empty()) {
        info.kind = LineKind::Blank;
    } else if (t.front() == ';' || t.front() == '#') {
        info.kind = LineKind::Comment;
    } else if (t.front() == '[') {
        info.kind = LineKind::Header;
        std::string_view name = t.substr(1);
        name = name.substr(0, name.find(']'));
        info.name = Trim(name);
    } else if (const size_t equals = line.find('='); equals != std::string_view::npos) {
        info.kind = LineKind::Key;
        info.equals = equals;
        info.name = Trim(line.substr(0, equals));
        info.value = Trim(line.substr(equals + 1));
        if (info.name.empty())
            info.kind = LineKind::Other;
    }
    return info;
}

} // namespace

IniText IniText::Parse(std::string_view contents)
{
    IniText text;
    if (contents.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
        text.byteOrderMark = true;
        contents.remove_prefix(kByteOrderMark.size());
    }
    bool firstEnd = true;
    while (!contents.empty()) {
        const size_t end = contents.find('\n');
        std::string_view line = contents.substr(0, end);
        if (end != std::string_view::npos && firstEnd) {
            text.crlf = !line.empty() && line.back() == '\r';
            firstEnd = false;
        }
        while (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        text.lines.emplace_back(line);
        if (end == std::string_view::npos)
            break;
        contents.remove_prefix(end + 1);
    }
    return text;
}

std::string IniText::Serialize() const
{
    const std::string_view eol = crlf ? "\r\n" : "\n";
    std::string out;
    if (byteOrderMark)
        out += kByteOrderMark;
    for (const std::string& line : lines) {
        out += line;
        out += eol;
    }
    return out;
}

std::optional<IniText::SectionRange> IniText::FindSection(std::string_view section) const
{
    for (size_t i = 0; i < lines.size(); ++i) {
        const LineInfo info = Classify(lines[i]);
        if (info.kind != LineKind::Header || !SameName(info.name, section))
            continue;
        size_t end = i + 1;
        while (end < lines.size() && Classify(lines[end]).kind != LineKind::Header)
            ++end;
        return SectionRange{i, end};
    }
    return std::nullopt;
}

std::vector<NamedFilter> IniText::Entries(std::string_view section) const
{
    std::vector<NamedFilter> entries;
    if (const auto range = FindSection(section)) {
        for (size_t i = range->header + 1; i < range->end; ++i) {
            const LineInfo info = Classify(lines[i]);
            if (info.kind == LineKind::Key)
                entries.push_back({std::string(info.name), std::string(info.value)});
        }
    }
    return entries;
}

std::optional<std::string> IniText::Value(std::string_view section, std::string_view key) const
{
    if (const auto range = FindSection(section)) {
        for (size_t i = range->header + 1; i < range->end; ++i) {
            const LineInfo info = Classify(lines[i]);
            if (info.kind == LineKind::Key && info.name == key)
                return std::string(info.value);
        }
    }
    return std::nullopt;
}

bool IniText::ValidKey(std::string_view key)
{
    if (key.empty() || IsBlank(key.front()) || IsBlank(key.back()))
        return false;
    if (key.front() == ';' || key.front() == '#' || key.front() == '[')
        return false;
    return key.find_first_of("=\r\n") == std::string_view::npos;
}

bool IniText::ValidValue(std::string_view value) { return value.find_first_of("\r\n") == std::string_view::npos; }

bool IniText::Set(std::string_view section, std::string_view key, std::string_view value)
{
    if (!ValidKey(key) || !ValidValue(value) || Trim(section).empty() ||
        section.find_first_of("]\r\n") != std::string_view::npos)
        return false;
    value = Trim(value);
    const auto range = FindSection(section);
    if (!range) {
        if (!lines.empty() && Classify(lines.back()).kind != LineKind::Blank)
            lines.emplace_back();
        lines.push_back("[" + std::string(section) + "]");
        lines.push_back(std::string(key) + "=" + std::string(value));
        return true;
    }
    size_t last = range->header;
    for (size_t i = range->header + 1; i < range->end; ++i) {
        const LineInfo info = Classify(lines[i]);
        if (info.kind == LineKind::Key && info.name == key) {
            // The key as it was written, then the new value.
            lines[i] = lines[i].substr(0, info.equals + 1) + std::string(value);
            return true;
        }
        if (info.kind != LineKind::Blank)
            last = i;
    }
    lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(last + 1), std::string(key) + "=" + std::string(value));
    return true;
}

bool IniText::Remove(std::string_view section, std::string_view key)
{
    const auto range = FindSection(section);
    if (!range)
        return false;
    const auto first = lines.begin() + static_cast<std::ptrdiff_t>(range->header + 1);
    const auto last = lines.begin() + static_cast<std::ptrdiff_t>(range->end);
    const auto kept = std::remove_if(first, last, [key](const std::string& line) {
        const LineInfo info = Classify(line);
        return info.kind == LineKind::Key && info.name == key;
    });
    if (kept == last)
        return false;
    lines.erase(kept, last);
    return true;
}

QString NamedFilters::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/corvane/" + kFileName;
}

NamedFilters::NamedFilters(QString filePath)
    : path(std::move(filePath))
{
}

IniText NamedFilters::Read() const
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray contents = file.readAll();
    return IniText::Parse(std::string_view(contents.constData(), static_cast<size_t>(contents.size())));
}

bool NamedFilters::Write(const IniText& text) const
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const std::string contents = text.Serialize();
    if (file.write(contents.data(), static_cast<qint64>(contents.size())) != static_cast<qint64>(contents.size())) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

std::vector<NamedFilter> NamedFilters::List() const { return Read().Entries(kSection); }

QString NamedFilters::Value(const QString& name) const
{
    const std::optional<std::string> value = Read().Value(kSection, name.toStdString());
    return value ? QString::fromStdString(*value) : QString();
}

bool NamedFilters::Save(const QString& name, const QString& value) const
{
    IniText text = Read();
    if (!text.Set(kSection, name.toStdString(), value.toStdString()))
        return false;
    return Write(text);
}

bool NamedFilters::Remove(const QString& name) const
{
    IniText text = Read();
    if (!text.Remove(kSection, name.toStdString()))
        return false;
    return Write(text);
}

} // namespace AnalyzerProject
