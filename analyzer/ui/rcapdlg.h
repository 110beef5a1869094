// The remote capture dialog: the operator scans capture servers (host, port, user name and
// password) for their interfaces, names the analysis and picks the interfaces to capture
// from. Rows are captioned with the source name a capture opens (see remote_source_name.h)
// and keep the host text they were scanned from.
#pragma once

#include <pcap/pcap.h>

#include <map>
#include <string>

#include "capture_dialog.h"
#include "quarvel_handles.h"

class QGroupBox;

namespace AnalyzerProject {

inline constexpr int32_t kPasswordAuthentication = RPCAP_RMTAUTH_PWD;

// What the scan of one host left: the credentials it used and the interfaces it listed
// (both owned and released here), and the texts they were made from.
struct RemoteNICInfo {
    AuthRecord auth;
    DeviceList nics;
    std::string user;
    std::string password;
    std::string port; // decimal, as the scan reached the server

    // A new credentials record with the same user name and password (null when none can be
    // made), for a capture source that takes ownership of its own copy.
    AuthRecord NewCredentials() const
    {
        pcap_rmtauth* copy = nullptr;
        if (QvrCreateAuthInfo(kPasswordAuthentication, user.c_str(), password.c_str(), &copy) != QVR_OK)
            return nullptr;
        return AuthRecord(copy);
    }
};

// Scanned hosts by their host text, exactly as typed.
using ScannedHostTable = std::map<QString, RemoteNICInfo>;

class Tremotecapdlg : public CaptureDialog {
    Q_OBJECT

public:
    explicit Tremotecapdlg(QWidget* parent = nullptr);

    // The host text of each selected row, in the order of SelectedCaptions().
    QStringList SelectedHosts() const { return SelectedHostTexts(); }
    const ScannedHostTable& ScannedHosts() const { return scannedHosts; }

    // Scans the host in the fields, once per host text, and offers its interfaces.
    void BitBtn1Click();
    // Move the highlighted available row to the selected list, and back.
    void ListBoxAvailableDblClick();
    void ListBoxSelectedDblClick();
    // A click in either list: the adapter information of its highlighted row.
    void ListBoxAvailableClick(QTreeWidget* clicked);

protected:
    std::optional<std::vector<std::string>> InterfaceInformation(const QTreeWidgetItem& row) override;

private:
    QGroupBox* MakeServerGroup();

    QLineEdit* remotehost = nullptr;
    QLineEdit* remoteport = nullptr;
    QLineEdit* remoteusername = nullptr;
    QLineEdit* remotepassword = nullptr;
    QPushButton* BitBtn1 = nullptr;
    ScannedHostTable scannedHosts;
};

} // namespace AnalyzerProject
