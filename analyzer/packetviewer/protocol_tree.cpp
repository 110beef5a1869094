#include "protocol_tree.h"

namespace AnalyzerProject {

namespace {

// Walks the text line by line; a line's "\r" before its "\n" is not part of it.
class LineReader {
public:
    explicit LineReader(std::string_view text) : rest(text) {}

    bool Next(std::string_view& line)
    {
        if (done)
            return false;
        const size_t end = rest.find('\n');
        if (end == std::string_view::npos) {
            line = rest;
            done = true;
            if (line.empty())
                return false; // the text ended with a line end
        } else {
            line = rest.substr(0, end);
            rest.remove_prefix(end + 1);
        }
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        return true;
    }

private:
    std::string_view rest;
    bool done = false;
};

bool StartsWithBlank(std::string_view line) { return !line.empty() && line.front() == ' '; }

} // namespace

ProtocolTree ParseDissectorOutput(const std::string& text)
{
    ProtocolTree tree;
    LineReader reader(text);
    std::string_view line;

    // The frame section: its first line and its indented lines.
    bool found = false;
    while (reader.Next(line)) {
        if (line.size() >= 2 && line[0] == 'F' && line[1] == 'r') {
            found = true;
            break;
        }
    }
    if (!found)
        return tree;
    bool more;
    while ((more = reader.Next(line)) && StartsWithBlank(line)) {
    }
    if (!more)
        return tree;

    // Each entry is the child list of an open parent; the first is the tree's top. A child
    // list only grows while it is the last entry, so the entries above it stay valid.
    std::vector<std::vector<ProtocolTreeNode>*> parents{&tree};
    do {
        if (line.empty())
            break;
        size_t groups = 0;
        while (groups * 4 < line.size() && line[groups * 4] == ' ')
            ++groups;
        size_t level = groups + 1;
        if (groups == 0 && !(line[0] >= 'A' && line[0] <= 'Z'))
            level = parents.size();

        if (level > parents.size()) {
            if (!parents.back()->empty())
                parents.push_back(&parents.back()->back().children);
        } else {
            while (parents.size() > level)
                parents.pop_back();
        }
        const size_t from = groups * 4 < line.size() ? groups * 4 : line.size();
        parents.back()->push_back(ProtocolTreeNode{std::string(line.substr(from)), {}});
    } while (reader.Next(line));
    return tree;
}

size_t ProtocolTreeNodeCount(const ProtocolTree& tree)
{
    size_t count = 0;
    // Iterative: a tree may be as deep as the output has lines.
    std::vector<const ProtocolTree*> pending{&tree};
    while (!pending.empty()) {
        const ProtocolTree* list = pending.back();
        pending.pop_back();
        count += list->size();
        for (const ProtocolTreeNode& node : *list)
            pending.push_back(&node.children);
    }
    return count;
}

} // namespace AnalyzerProject
