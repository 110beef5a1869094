#include "newdlg.h"

#include <QToolButton>
#include <QTreeWidget>

#include "quarvel_handles.h"

namespace AnalyzerProject {

TForm3::TForm3(QWidget* parent)
    : CaptureDialog("Local Capture", "Availabe Interface", parent)
    , adapterAddresses(ReadAdapterAddressTable())
{
    setObjectName("TForm3");
    connect(SpeedButton1, &QToolButton::clicked, this, &TForm3::SpeedButton1Click);
    connect(SpeedButton2, &QToolButton::clicked, this, &TForm3::SpeedButton2Click);
    connect(ListViewAvailable, &QTreeWidget::itemDoubleClicked, this, &TForm3::SpeedButton1Click);
    connect(ListViewSelected, &QTreeWidget::itemDoubleClicked, this, &TForm3::SpeedButton2Click);
    connect(ListViewAvailable, &QTreeWidget::itemClicked, this, [this] { NICListClick(ListViewAvailable); });
    connect(ListViewSelected, &QTreeWidget::itemClicked, this, [this] { NICListClick(ListViewSelected); });
}

void TForm3::AddAvailableInterface(const QString& name) { AddAvailableRow(name, QString()); }

void TForm3::SpeedButton1Click() { MoveRow(ListViewAvailable, ListViewSelected); }

void TForm3::SpeedButton2Click() { MoveRow(ListViewSelected, ListViewAvailable); }

void TForm3::NICListClick(QTreeWidget* clicked) { ShowInformationOf(clicked); }

std::optional<std::vector<std::string>> TForm3::InterfaceInformation(const QTreeWidgetItem& row)
{
    // Listed afresh at every click: interfaces come and go while the dialog is open.
    pcap_if* list = nullptr;
    if (QvrGetAllNIC(&list) != QVR_OK)
        return std::nullopt;
    const DeviceList nics(list);
    const std::string name = row.text(0).toStdString();
    for (const pcap_if* nic = list; nic; nic = nic->next)
        if (nic->name && name == nic->name)
            return AdapterInformationLines(*nic, &adapterAddresses);
    return std::vector<std::string>{};
}

} // namespace AnalyzerProject
