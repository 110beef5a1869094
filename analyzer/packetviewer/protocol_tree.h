// The protocol tree of one packet, read from the external dissector's verbose text output.
//
// The dissector prints a section for the frame (a line beginning "Fr" and its indented
// lines), then one unindented line per protocol with its fields indented by four blanks
// per level, and an empty line after the packet. Every line of the protocol part becomes a
// node holding the line's text without its indentation; nodes carry nothing else.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace AnalyzerProject {

struct ProtocolTreeNode {
    std::string text;
    std::vector<ProtocolTreeNode> children;
};

// The top-level nodes (one per protocol), in output order.
using ProtocolTree = std::vector<ProtocolTreeNode>;

// Builds the tree from the dissector's output. Any bytes are accepted; lines may end with
// "\r\n" or "\n" (a line is empty when nothing is left after its "\r" is removed).
//
// 1. Lines are skipped up to the first one beginning "Fr"; without one the tree is empty.
// 2. That line and every following line beginning with a blank are skipped.
// 3. Every line from there up to the next empty line (or the end of the text) is a node.
// 4. A line's level is 1 plus the number of leading four-character groups that begin with
//    a blank (characters 0, 4, 8, ... are looked at); its text starts at the first group
//    that does not. A level-1 line whose first character is not a capital A to Z gets the
//    current depth instead: it continues the deepest open section.
// 5. A stack of parents starts with the tree's top; the current depth is its size. A line
//    at the current depth is added as the last child of the stack's top; a deeper line
//    becomes a child of the node added last (a jump of several levels deepens by one
//    level only); a shallower line pops parents until the depth equals its level and is
//    added under the new top.
ProtocolTree ParseDissectorOutput(const std::string& text);

// Number of nodes in the whole tree.
size_t ProtocolTreeNodeCount(const ProtocolTree& tree);

} // namespace AnalyzerProject
