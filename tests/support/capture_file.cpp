#include "capture_file.h"

#include <unistd.h>

#include <cstdlib>
#include <stdexcept>

namespace testsupport {

CaptureFileWriter::CaptureFileWriter(const std::string& path, uint32_t linkType, uint32_t snapLength)
    : file_(std::fopen(path.c_str(), "wb"))
{
    if (!file_)
        throw std::runtime_error("cannot create " + path);
    const uint32_t magic = 0xa1b2c3d4;
    const uint16_t major = 2, minor = 4;
    const uint32_t zero = 0;
    std::fwrite(&magic, 4, 1, file_);
    std::fwrite(&major, 2, 1, file_);
    std::fwrite(&minor, 2, 1, file_);
    std::fwrite(&zero, 4, 1, file_);
    std::fwrite(&zero, 4, 1, file_);
    std::fwrite(&snapLength, 4, 1, file_);
    std::fwrite(&linkType, 4, 1, file_);
}

CaptureFileWriter::~CaptureFileWriter() { close(); }

void CaptureFileWriter::add(const Bytes& frame, uint32_t sec, uint32_t usec, uint32_t wireLength)
{
    const uint32_t header[4] = {sec, usec, static_cast<uint32_t>(frame.size()),
                                wireLength ? wireLength : static_cast<uint32_t>(frame.size())};
    std::fwrite(header, sizeof header, 1, file_);
    if (!frame.empty())
        std::fwrite(frame.data(), 1, frame.size(), file_);
}

void CaptureFileWriter::raw(const Bytes& bytes)
{
    if (!bytes.empty())
        std::fwrite(bytes.data(), 1, bytes.size(), file_);
}

void CaptureFileWriter::flush() { std::fflush(file_); }

void CaptureFileWriter::close()
{
    if (file_)
        std::fclose(file_);
    file_ = nullptr;
}

TempPath::TempPath(const std::string& suffix)
{
    const char* dir = std::getenv("TMPDIR");
    std::string pattern = std::string(dir && *dir ? dir : "/tmp") + "/corvane-test-XXXXXX" + suffix;
    const int fd = mkstemps(pattern.data(), static_cast<int>(suffix.size()));
    if (fd < 0)
        throw std::runtime_error("cannot create a temporary file");
    ::close(fd);
    path_ = pattern;
}

TempPath::~TempPath() { ::unlink(path_.c_str()); }

} // namespace testsupport
