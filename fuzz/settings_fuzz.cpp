// Fuzz target for the settings file: any contents parse, write back to text that parses to
// the same lines, and keep answering consistently when a filter is saved and removed.
#include <cstdlib>
#include <string>
#include <string_view>

#include "named_filters.h"

using namespace AnalyzerProject;

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view contents(reinterpret_cast<const char*>(data), size);
    const IniText text = IniText::Parse(contents);
    const std::string written = text.Serialize();
    const IniText again = IniText::Parse(written);
    Check(again.Lines() == text.Lines());
    Check(again.Serialize() == written);

    const std::vector<NamedFilter> entries = text.Entries(NamedFilters::kSection);
    for (const NamedFilter& e : entries)
        Check(text.Value(NamedFilters::kSection, e.name).has_value());

    // A key taken from the input's last line, if it is one that can be stored.
    const size_t cut = contents.find_last_of('\n');
    const std::string_view tail = cut == std::string_view::npos ? contents : contents.substr(cut + 1);
    const std::string key = IniText::ValidKey(tail) ? std::string(tail) : std::string("fuzz");

    IniText edited = text;
    const bool existed = edited.Value(NamedFilters::kSection, key).has_value();
    Check(edited.Set(NamedFilters::kSection, key, "udp port 5060"));
    Check(edited.Value(NamedFilters::kSection, key) == std::optional<std::string>("udp port 5060"));
    const size_t count = edited.Entries(NamedFilters::kSection).size();
    Check(count == entries.size() + (existed ? 0 : 1));
    const IniText reread = IniText::Parse(edited.Serialize());
    Check(reread.Value(NamedFilters::kSection, key) == std::optional<std::string>("udp port 5060"));

    Check(edited.Remove(NamedFilters::kSection, key));
    Check(!edited.Value(NamedFilters::kSection, key).has_value());
    Check(!edited.Remove(NamedFilters::kSection, key));
    return 0;
}
