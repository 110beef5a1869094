// Fuzz target for the parser of the external dissector's output. Any bytes must parse;
// every node is one line's text (no line end inside, together no longer than the input,
// at most one node per line), and "\r\n" line ends give the same tree as "\n".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "protocol_tree.h"

using namespace AnalyzerProject;

namespace {

struct Totals {
    size_t nodes = 0;
    size_t textBytes = 0;
};

void Check(const ProtocolTree& nodes, Totals& totals)
{
    for (const ProtocolTreeNode& node : nodes) {
        if (node.text.find('\n') != std::string::npos)
            std::abort();
        ++totals.nodes;
        totals.textBytes += node.text.size();
        Check(node.children, totals);
    }
}

bool Same(const ProtocolTree& a, const ProtocolTree& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (a[i].text != b[i].text || !Same(a[i].children, b[i].children))
            return false;
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    const ProtocolTree tree = ParseDissectorOutput(text);

    Totals totals;
    Check(tree, totals);
    size_t lines = 1;
    for (char c : text)
        lines += c == '\n';
    if (totals.nodes > lines || totals.textBytes > size || totals.nodes != ProtocolTreeNodeCount(tree))
        std::abort();

    if (text.find('\r') == std::string::npos) {
        std::string crlf;
        crlf.reserve(size + lines);
        for (char c : text) {
            if (c == '\n')
                crlf += '\r';
            crlf += c;
        }
        if (!Same(ParseDissectorOutput(crlf), tree))
            std::abort();
    }
    return 0;
}
