#include "external_dissector.h"

#include "child_process.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMutex>
#include <QMutexLocker>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace AnalyzerProject {

namespace {

// The private folder of one conversion, and the files in it.
constexpr const char* kFolderTemplate = "corvane-packet-XXXXXX";
constexpr const char* kFolderPrefix = "corvane-packet-";
constexpr const char* kDumpName = "packet";
constexpr const char* kCaptureSuffix = ".pcap";

QMutex& overrideLock()
{
    static QMutex lock;
    return lock;
}

QHash<QString, QString>& overrides()
{
    static QHash<QString, QString> paths;
    return paths;
}

// Runs a child whose output nobody reads, waiting for its end at most `timeLimitMs`.
void RunQuietly(const QString& program, const QStringList& args, int timeLimitMs)
{
    RunChild(program, args, nullptr, timeLimitMs);
}

} // namespace

QString ExternalToolPath(const QString& name)
{
    {
        QMutexLocker locker(&overrideLock());
        const auto it = overrides().constFind(name);
        if (it != overrides().cend())
            return *it;
    }
    return QDir(QCoreApplication::applicationDirPath()).filePath(QString(kExternalToolFolder) + '/' + name);
}

void SetExternalToolPath(const QString& name, const QString& path)
{
    QMutexLocker locker(&overrideLock());
    if (path.isEmpty())
        overrides().remove(name);
    else
        overrides().insert(name, path);
}

std::string PacketTextDump(const QvrPacket& packet)
{
    static constexpr char kHex[] = "0123456789abcdef";

    std::string dump;
    const time_t seconds = packet.ts_sec;
    struct tm local {};
    if (!localtime_r(&seconds, &local))
        local = tm{};
    char when[64];
    if (std::strftime(when, sizeof when, "%Y/%m/%d %H:%M:%S.", &local) == 0)
        when[0] = '\0';
    char line[96];
    std::snprintf(line, sizeof line, "%s%.6d \n", when, static_cast<int>(packet.ts_usec));
    dump += line;

    const uint32_t length = packet.data ? packet.length : 0;
    dump.reserve(dump.size() + (length / 16 + 1) * 74);
    for (uint32_t start = 0; start < length; start += 16) {
        const uint32_t count = std::min<uint32_t>(16, length - start);
        std::snprintf(line, sizeof line, "%04x ", static_cast<unsigned>(start));
        dump += line;
        for (uint32_t i = 0; i < count; ++i) {
            const uint8_t byte = packet.data[start + i];
            dump += kHex[byte >> 4];
            dump += kHex[byte & 0x0f];
            dump += ' ';
        }
        dump.append(count, '.');
        dump += '\n';
    }
    return dump;
}

QStringList ConverterArguments(const QString& dumpPath, const QString& capturePath)
{
    return {"-t", kConverterTimeFormat, dumpPath, capturePath};
}

QStringList DissectorArguments(const QString& capturePath) { return {"-nql", "-V", "-r", capturePath}; }

bool WritePacketAsPcap(const QvrPacket& packet, QString& capturePath)
{
    QTemporaryDir folder(QDir(QDir::tempPath()).filePath(kFolderTemplate));
    if (!folder.isValid())
        return false; // nothing was made

    const QString dumpPath = folder.filePath(kDumpName);
    {
        QFile dump(dumpPath);
        if (!dump.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Text))
            return false; // the folder goes with `folder`
        const std::string text = PacketTextDump(packet);
        if (dump.write(text.data(), static_cast<qint64>(text.size())) != static_cast<qint64>(text.size()) ||
            !dump.flush())
            return false;
    }

    const QString capture = dumpPath + kCaptureSuffix;
    RunQuietly(ExternalToolPath(kConverterName), ConverterArguments(dumpPath, capture), kChildTimeLimitMs);
    QFile::remove(dumpPath);

    folder.setAutoRemove(false); // RemoveCaptureFile removes it
    capturePath = capture;
    return true;
}

void RemoveCaptureFile(const QString& capturePath)
{
    if (capturePath.isEmpty())
        return;
    QFile::remove(capturePath);
    // Only a folder of ours goes, and only when it is empty afterwards.
    const QFileInfo info(capturePath);
    const QString folder = info.absolutePath();
    if (!QFileInfo(folder).fileName().startsWith(kFolderPrefix))
        return;
    QFile::remove(QDir(folder).filePath(kDumpName));
    QDir().rmdir(folder);
}

bool RunAndCollectOutput(const QString& program, const QStringList& args, std::string& output, int timeLimitMs,
                         bool* timedOut)
{
    const ChildOutcome outcome = RunChild(program, args, &output, timeLimitMs, kOutputReadSize);
    if (timedOut)
        *timedOut = outcome.timedOut;
    return outcome.started;
}

bool BuildProtocolTree(const QvrPacket& packet, ProtocolTree& tree, bool& launchFailed, int timeLimitMs)
{
    tree.clear();
    launchFailed = false;

    QString capture;
    if (!WritePacketAsPcap(packet, capture))
        return false;

    std::string output;
    bool timedOut = false;
    const bool started = RunAndCollectOutput(ExternalToolPath(kDissectorName), DissectorArguments(capture), output,
                                             timeLimitMs, &timedOut);
    RemoveCaptureFile(capture);
    if (!started) {
        launchFailed = true;
        return false;
    }
    if (timedOut)
        return false; // a cut-off output would give a cut-off tree
    tree = ParseDissectorOutput(output);
    return true;
}

} // namespace AnalyzerProject
