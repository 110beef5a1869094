// Writes capture files in the libpcap format record by record, including records whose
// captured length is shorter than their length on the wire, and cut-off files.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include "frame_builder.h"

namespace testsupport {

class CaptureFileWriter {
public:
    CaptureFileWriter(const std::string& path, uint32_t linkType = 1, uint32_t snapLength = 65535);
    ~CaptureFileWriter();
    CaptureFileWriter(const CaptureFileWriter&) = delete;
    CaptureFileWriter& operator=(const CaptureFileWriter&) = delete;

    // One record; `wireLength` 0 means the frame's own size.
    void add(const Bytes& frame, uint32_t sec = 0, uint32_t usec = 0, uint32_t wireLength = 0);
    // Appends raw bytes (to build damaged files).
    void raw(const Bytes& bytes);
    void flush();
    void close();

private:
    std::FILE* file_;
};

// A file in the system temp folder, removed when the object goes.
class TempPath {
public:
    explicit TempPath(const std::string& suffix = ".pcap");
    ~TempPath();
    const std::string& str() const { return path_; }
    const char* c_str() const { return path_.c_str(); }
    std::string source() const { return "file://" + path_; }

private:
    std::string path_;
};

} // namespace testsupport
