// The local capture dialog: the main window offers the free interfaces of this machine; the
// operator names the analysis and picks the interfaces to capture from.
#pragma once

#include "adapter_addresses.h"
#include "capture_dialog.h"

namespace AnalyzerProject {

class TForm3 : public CaptureDialog {
    Q_OBJECT

public:
    // Reads the adapter address table of this machine.
    explicit TForm3(QWidget* parent = nullptr);

    // Offers a local interface, by name, at the end of the available list.
    void AddAvailableInterface(const QString& name);

    // Move the highlighted available row to the selected list, and back.
    void SpeedButton1Click();
    void SpeedButton2Click();
    // A click in either list: the adapter information of its highlighted row.
    void NICListClick(QTreeWidget* clicked);

protected:
    std::optional<std::vector<std::string>> InterfaceInformation(const QTreeWidgetItem& row) override;

private:
    AdapterAddressTable adapterAddresses;
};

} // namespace AnalyzerProject
