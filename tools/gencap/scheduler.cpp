#include "scheduler.h"

#include <algorithm>

namespace gencap {

void Scheduler::add(std::unique_ptr<Source> source)
{
    if (source->done())
        return;
    heap_.push_back({source->nextTime(), added_++, std::move(source)});
    std::push_heap(heap_.begin(), heap_.end(), later);
}

void Scheduler::writeNext()
{
    std::pop_heap(heap_.begin(), heap_.end(), later);
    Entry& e = heap_.back();
    const Micros time = e.time;
    const Bytes& frame = e.source->produce();
    out_.add(frame, static_cast<uint32_t>(time / 1'000'000), static_cast<uint32_t>(time % 1'000'000));
    ++written_;
    recordBytes_ += 16 + frame.size();
    if (e.source->done()) {
        heap_.pop_back();
        return;
    }
    e.time = e.source->nextTime();
    std::push_heap(heap_.begin(), heap_.end(), later);
}

} // namespace gencap
