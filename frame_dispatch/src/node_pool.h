// Header nodes of the frame being decoded. Nodes are taken and given back in stack order
// (inner headers after outer ones), so a chain of blocks reused from frame to frame
// replaces one allocation per node.
#pragma once

#include <cstddef>

#include "quarvel.h"

namespace quarvel {

class NodePool {
public:
    NodePool() = default;
    NodePool(const NodePool&) = delete;
    NodePool& operator=(const NodePool&) = delete;
    ~NodePool();

    struct Mark {
        struct Block* block;
        size_t used;
    };

    // A fresh node (fields unset), or null when no memory is left for it.
    HeaderNode* take();
    Mark mark() const { return {current_, used_}; }
    // Gives back every node taken since `m`.
    void release(Mark m)
    {
        current_ = m.block;
        used_ = m.used;
    }

private:
    Block* first_ = nullptr;
    Block* current_ = nullptr;
    size_t used_ = 0; // nodes taken from `current_`
};

} // namespace quarvel
