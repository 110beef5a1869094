// Merges the open sources by time into the capture file. Sources of equal time go out in
// the order they were added, so the output depends on nothing but the plans.
#pragma once

#include <memory>
#include <vector>

#include "capture_file.h"
#include "source.h"

namespace gencap {

class Scheduler {
public:
    explicit Scheduler(testsupport::CaptureFileWriter& out) : out_(out) {}

    void add(std::unique_ptr<Source> source);
    bool empty() const { return heap_.empty(); }
    // Time of the next frame; only while not empty.
    Micros nextTime() const { return heap_.front().time; }
    void writeNext();
    uint64_t written() const { return written_; }
    // Bytes of the records written, headers included.
    uint64_t recordBytes() const { return recordBytes_; }

private:
    struct Entry {
        Micros time;
        uint64_t order;
        std::unique_ptr<Source> source;
    };
    static bool later(const Entry& a, const Entry& b)
    {
        return a.time != b.time ? a.time > b.time : a.order > b.order;
    }

    testsupport::CaptureFileWriter& out_;
    std::vector<Entry> heap_;
    uint64_t added_ = 0;
    uint64_t written_ = 0;
    uint64_t recordBytes_ = 0;
};

} // namespace gencap
