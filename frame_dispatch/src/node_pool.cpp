#include "node_pool.h"

#include <cstdlib>

#include "allocation_failures.h"

namespace quarvel {

namespace {
constexpr size_t kBlockNodes = 32;
}

struct Block {
    HeaderNode nodes[kBlockNodes];
    Block* next;
};

NodePool::~NodePool()
{
    for (Block* b = first_; b;) {
        Block* next = b->next;
        std::free(b);
        b = next;
    }
}

HeaderNode* NodePool::take()
{
    if (nodeAllocationFails())
        return nullptr;
    if (!current_ || used_ == kBlockNodes) {
        Block* following = current_ ? current_->next : first_;
        if (!following) {
            following = static_cast<Block*>(std::malloc(sizeof(Block)));
            if (!following)
                return nullptr;
            following->next = nullptr;
            (current_ ? current_->next : first_) = following;
        }
        current_ = following;
        used_ = 0;
    }
    return &current_->nodes[used_++];
}

} // namespace quarvel
