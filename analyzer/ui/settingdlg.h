// "Setting": the capture filter and promiscuous flag of each capture source of an
// analysis, the interval between two delivery passes, and the display filter.
//
// Capture filters are applied to the session by "Set" at once, and by OK for the chosen
// source; promiscuous flags are edited on a working copy that only OK applies. The
// analysis window takes the interval and the display filter after OK.
#pragma once

#include <QDialog>

#include <functional>
#include <vector>

#include "packet_process.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QSlider;

namespace AnalyzerProject {

class TFilterDialog;

class TForm2 : public QDialog {
    Q_OBJECT
public:
    explicit TForm2(QWidget* parent = nullptr);

    // Fills the dialog for an analysis: interval position (`updateIntervalMs` / 50) and its
    // text, every capture source in order, the working copy of the sources' settings,
    // source 0 chosen with its promiscuous flag and capture filter, and the display filter.
    // A window opened on a capture file (`offlineMode`) can change the display filter only.
    void Prepare(CPacketCapture* capture, int updateIntervalMs, const QString& displayFilter, bool offlineMode);

    // The chosen interval: track bar position times 50 (50 to 250 ms).
    int UpdateIntervalMs() const;
    QString DisplayFilter() const;

    // Makes the named-filter dialog for the "Load" buttons; null stands for a dialog that
    // could not be made. The default one uses the settings file in its usual place.
    using FilterDialogFactory = std::function<TFilterDialog*(QWidget* parent)>;
    void SetFilterDialogFactory(FilterDialogFactory factory);

    QGroupBox* GroupBox1;                 // "Online Filters"
    QComboBox* ComboBoxInterface;
    QLineEdit* EditRule;
    QPushButton* ButtonSetRule;
    QPushButton* Button1;                 // "Load" into EditRule, tag 1
    QGroupBox* GroupBox3;                 // interval and promiscuous mode
    QSlider* TrackBarUpdateInterval;
    QLineEdit* EditUpdateInterval;
    QCheckBox* pmode;
    QGroupBox* GroupBox2;                 // "Display Filter"
    QLineEdit* Edit1;
    QPushButton* Button3;                 // "Load" into Edit1, tag 2
    QPushButton* OKBtn;
    QPushButton* CancelBtn;

public slots:
    void ComboBoxInterfaceChange();
    void pmodeClick();
    void TrackBarUpdateIntervalChange();
    void ButtonSetRuleClick();
    void OKBtnClick();
    // Both "Load" buttons; the button's tag tells which field gets the rule.
    void Button1Click(QObject* button);

private:
    bool SetChosenFilter();

    CPacketCapture* m_Capture = nullptr;
    std::vector<PacketCaptureConf> m_Confs; // working copy, one per source
    FilterDialogFactory m_FilterDialogFactory;
};

} // namespace AnalyzerProject
