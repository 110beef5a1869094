// The protocol tree of one packet from the external dissector, and the pieces it is made
// of: the packet as a hex text dump, the converter that turns the dump into a one-packet
// capture file, and running a child process while collecting its output.
//
// Both programs live in the folder "ethereal" beside the program: "tethereal" (the
// dissector) and "text2pcap" (the converter). They are started with argument lists,
// never through a shell, on the calling thread, which waits for them (see
// RunAndCollectOutput for why it does not process events meanwhile).
//
// Temporary files: each conversion gets a private folder of its own (a new, unpredictable
// name in QDir::tempPath(), readable by the user alone) holding the dump T and the capture
// file T.pcap beside it. The dump is removed once the converter has run; the capture file
// and the folder are removed by RemoveCaptureFile, which BuildProtocolTree calls in every
// case. Nothing remains after a packet has been dissected, whatever failed.
#pragma once

#include <QString>
#include <QStringList>

#include <string>

#include "protocol_tree.h"
#include "quarvel.h"

namespace AnalyzerProject {

// Text and caption of the message the caller shows when the dissector cannot be started.
inline constexpr const char* kDissectorLaunchFailedText = "Can't launch Ethereal successfully";
inline constexpr const char* kDissectorLaunchFailedCaption = "ERROR";

// The folder beside the program that holds the external tools, and their names in it.
inline constexpr const char* kExternalToolFolder = "ethereal";
inline constexpr const char* kDissectorName = "tethereal";
inline constexpr const char* kConverterName = "text2pcap";

// Path of the external tool `name` ("tethereal" or "text2pcap"): the path set with
// SetExternalToolPath, or else applicationDirPath()/ethereal/name.
QString ExternalToolPath(const QString& name);
// Makes ExternalToolPath(name) give `path` (tests); an empty path restores the default.
void SetExternalToolPath(const QString& name, const QString& path);

// The packet as the converter reads it: the capture time as local time, formatted
// "%Y/%m/%d %H:%M:%S." followed by the microseconds as "%.6d", a blank and a line end;
// then one line per 16 bytes of frame: the offset of the line's first byte ("%04x "),
// each byte ("%02x "), one "." per byte, and a line end. A frame of 0 bytes gives the
// time line alone.
std::string PacketTextDump(const QvrPacket& packet);

// The converter's time format: the dump's time line up to the seconds' ".", then the
// microseconds as a fraction ("%f": without it the converter ignores the digits after
// the "." and every packet would get a time of whole seconds).
inline constexpr const char* kConverterTimeFormat = "%Y/%m/%d %H:%M:%S.%f";

// Arguments of the converter turning the dump into the capture file:
// -t <kConverterTimeFormat> <dump> <capture>.
QStringList ConverterArguments(const QString& dumpPath, const QString& capturePath);
// Arguments of the dissector printing the full protocol tree of every packet of the
// capture file: -nql -V -r <capture> (numeric addresses, no summary lines, output flushed
// per packet, verbose tree).
QStringList DissectorArguments(const QString& capturePath);

// Writes the packet's text dump T into a new private temporary folder, runs the converter
// on it (waiting at most kChildTimeLimitMs), removes T and gives back the path of the
// capture file T.pcap. False (and nothing left behind) if the folder or the dump cannot be
// made. The converter's own success is not examined: if it fails, the capture file is
// missing and the dissector prints no packet. Remove the result with RemoveCaptureFile.
bool WritePacketAsPcap(const QvrPacket& packet, QString& capturePath);
// Removes a capture file made by WritePacketAsPcap together with its private folder.
// Safe to call when the converter made no file.
void RemoveCaptureFile(const QString& capturePath);

// Time a child process gets before it is killed (a hanging child must not freeze the
// window for ever; one packet takes the dissector well under a second).
inline constexpr int kChildTimeLimitMs = 20000;
// Pieces in which a child's output is collected.
inline constexpr int kOutputReadSize = 20480;

// Runs `program` with `args` (no shell), its standard output and standard error merged,
// its standard input the null device, and appends everything it writes to `output`,
// reading in pieces of at most kOutputReadSize bytes while it runs, until it has ended
// and nothing is left to read. False only if the program cannot be started.
//
// A child still running after `timeLimitMs` is killed; what it wrote until then is kept,
// the result is true and `*timedOut` (if given) is set.
//
// The calling thread waits without processing events: showing a packet's tree is called
// from the user-interface thread, where processing events would let the dispatcher's
// hand-over, timers or a close request run in the middle of it. A packet takes the
// dissector well under a second; the time limit bounds the rest.
bool RunAndCollectOutput(const QString& program, const QStringList& args, std::string& output,
                         int timeLimitMs = kChildTimeLimitMs, bool* timedOut = nullptr);

// The packet viewer's protocol tree for `packet`: writes the capture file, runs the
// dissector (ExternalToolPath("tethereal") with DissectorArguments), removes the capture
// file, and parses the output (ParseDissectorOutput). `tree` is emptied first.
//
// True when the dissector ran to its end and its output was parsed; the tree is still
// empty when the output holds no packet (for instance the converter failed). False with
// an empty tree when the capture file could not be made (no message), when the dissector
// cannot be started (`launchFailed` set: the caller shows kDissectorLaunchFailedText with
// kDissectorLaunchFailedCaption), or when it ran past `timeLimitMs` and was killed.
bool BuildProtocolTree(const QvrPacket& packet, ProtocolTree& tree, bool& launchFailed,
                       int timeLimitMs = kChildTimeLimitMs);

} // namespace AnalyzerProject
