#include "rcapdlg.h"

#include <QApplication>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "adapter_addresses.h"
#include "message_box.h"
#include "remote_source_name.h"

namespace AnalyzerProject {

namespace {

constexpr int kFieldLength = 512;
constexpr int kPortLength = 6;

QLineEdit* MakeField(const QString& objectName, int maxLength, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(objectName);
    field->setMaxLength(maxLength);
    return field;
}

// The wait cursor while a scan blocks the window.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace

Tremotecapdlg::Tremotecapdlg(QWidget* parent)
    : CaptureDialog("Remote Capture", "Available Interface", parent)
{
    setObjectName("Tremotecapdlg");
    mainLayout->insertWidget(0, MakeServerGroup());

    connect(BitBtn1, &QPushButton::clicked, this, &Tremotecapdlg::BitBtn1Click);
    connect(SpeedButton1, &QToolButton::clicked, this, &Tremotecapdlg::ListBoxAvailableDblClick);
    connect(SpeedButton2, &QToolButton::clicked, this, &Tremotecapdlg::ListBoxSelectedDblClick);
    connect(ListViewAvailable, &QTreeWidget::itemDoubleClicked, this, &Tremotecapdlg::ListBoxAvailableDblClick);
    connect(ListViewSelected, &QTreeWidget::itemDoubleClicked, this, &Tremotecapdlg::ListBoxSelectedDblClick);
    connect(ListViewAvailable, &QTreeWidget::itemClicked, this, [this] { ListBoxAvailableClick(ListViewAvailable); });
    connect(ListViewSelected, &QTreeWidget::itemClicked, this, [this] { ListBoxAvailableClick(ListViewSelected); });
}

QGroupBox* Tremotecapdlg::MakeServerGroup()
{
    auto* group = new QGroupBox(this);
    remotehost = MakeField("remotehost", kFieldLength, group);
    remoteport = MakeField("remoteport", kPortLength, group);
    remoteport->setText(kDefaultCaptureServerPort);
    remoteusername = MakeField("remoteusername", kFieldLength, group);
    remotepassword = MakeField("remotepassword", kFieldLength, group);
    remotepassword->setEchoMode(QLineEdit::Password);
    remotepassword->setStyleSheet("lineedit-password-character: 42;"); // '*'
    BitBtn1 = new QPushButton("Scan ", group);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setAutoDefault(false);

    auto* fields = new QFormLayout;
    fields->addRow("Remote Host : ", remotehost);
    fields->addRow("Port : ", remoteport);
    fields->addRow("Username : ", remoteusername);
    fields->addRow("Password : ", remotepassword);
    auto* layout = new QHBoxLayout(group);
    layout->addLayout(fields, 1);
    layout->addWidget(BitBtn1, 0, Qt::AlignBottom);
    return group;
}

void Tremotecapdlg::BitBtn1Click()
{
    const QString host = remotehost->text();
    bool portIsNumber = false;
    const int port = remoteport->text().toInt(&portIsNumber, 10);
    if (host.isEmpty() || remoteusername->text().isEmpty() || remotepassword->text().isEmpty() || !portIsNumber ||
        port == 0) {
        ShowError(this, "Please fill in the correct info to scan!");
        return;
    }
    if (scannedHosts.count(host))
        return; // scanned once per dialog, whatever is typed later

    RemoteNICInfo info;
    info.user = remoteusername->text().toStdString();
    info.password = remotepassword->text().toStdString();
    info.port = std::to_string(port);
    pcap_rmtauth* auth = nullptr;
    if (QvrCreateAuthInfo(kPasswordAuthentication, info.user.c_str(), info.password.c_str(), &auth) != QVR_OK ||
        !auth) {
        ShowError(this, "Out of memory!");
        return;
    }
    info.auth.reset(auth);

    // An unreachable server holds the listing for the driver's connection bound (4 s).
    const std::string hostText = host.toStdString();
    pcap_if* list = nullptr;
    int32_t status;
    {
        const BusyCursor busy;
        status = QvrGetRemoteAllNIC(hostText.c_str(), info.port.c_str(), info.auth.get(), &list);
    }
    info.nics.reset(list);
    if (status != QVR_OK) {
        ShowError(this, "Can't get the remote NIC list !");
        return; // the credentials record goes with `info`
    }

    for (const pcap_if* nic = list; nic; nic = nic->next) {
        const std::string device = RemoteDeviceName(nic->name ? nic->name : "");
        AddAvailableRow(QString::fromStdString(RemoteSourceName(hostText, info.port, device)), host);
    }
    scannedHosts.emplace(host, std::move(info));
}

void Tremotecapdlg::ListBoxAvailableDblClick() { MoveRow(ListViewAvailable, ListViewSelected); }

void Tremotecapdlg::ListBoxSelectedDblClick() { MoveRow(ListViewSelected, ListViewAvailable); }

void Tremotecapdlg::ListBoxAvailableClick(QTreeWidget* clicked) { ShowInformationOf(clicked); }

std::optional<std::vector<std::string>> Tremotecapdlg::InterfaceInformation(const QTreeWidgetItem& row)
{
    const QString host = RowHost(&row);
    const auto scanned = scannedHosts.find(host);
    if (scanned == scannedHosts.end())
        return std::nullopt;
    const std::string hostText = host.toStdString();
    const std::string caption = row.text(0).toStdString();
    const RemoteNICInfo& info = scanned->second;
    for (const pcap_if* nic = info.nics.get(); nic; nic = nic->next) {
        const std::string device = RemoteDeviceName(nic->name ? nic->name : "");
        if (RemoteSourceName(hostText, info.port, device) == caption)
            return AdapterInformationLines(*nic, nullptr);
    }
    return std::vector<std::string>{};
}

} // namespace AnalyzerProject
