// The window of one analysis: it owns the capture session, starts and stops live capture,
// runs the real-time dispatcher that feeds the stored packets to its four pages, and
// replays the packets through a display filter.
#pragma once

#include <QDialog>
#include <QMdiSubWindow>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <mutex>

#include "analysis_registry.h"
#include "analysis_target.h"
#include "packet_process.h"
#include "page_packetviewer.h"
#include "pending_page.h"
#include "rtpktdispatcher.h"

namespace AnalyzerProject {

class TAnalysisForm : public QMdiSubWindow, public AnalysisTarget, public AnalysisWindow {
    Q_OBJECT
public:
    explicit TAnalysisForm(QWidget* parent = nullptr);
    ~TAnalysisForm() override;

    // AnalysisWindow
    CPacketCapture& Capture() override { return m_Capture; }
    std::string Caption() const override { return windowTitle().toStdString(); }
    void SetCaption(const std::string& caption) override { setWindowTitle(QString::fromStdString(caption)); }
    void SetAnalysis(CAnalysis* analysis) override { m_Analysis = analysis; }
    bool OpenCapture(const char* fileName) override;

    bool StartDispatcher(uint32_t startIndex, int countdown);
    void StopDispatcher(bool immediate);

    // Installed by the main window after a successful opening; called when the window
    // closes, with the key text (the analysis name).
    void SetCloseNotification(const QString& key, std::function<void(const QString&)> notify);
    const QString& Key() const { return m_Key; }
    // True once the window has begun to close (it is freed shortly after).
    bool Closed() const { return closed_; }

    // Where the external dissector is looked for (a folder "ethereal" beside the program);
    // tests point it elsewhere.
    static QString DissectorPath();
    static void SetDissectorPath(const QString& path);

    // Runs a modal dialog of this window (its result code); tests answer it instead.
    std::function<int(QDialog&)> runDialog;

    // Toolbar.
    QToolButton* ToolButton1;  // Capture Control; tag: 1 while capturing
    QToolButton* ToolButton2;  // Save as a file
    QToolButton* ToolButton5;  // Display Filter
    QToolButton* ToolButton4;  // Options
    QToolButton* ToolButton7;  // Jitter Buffer Configure
    QToolButton* ToolButton_show_packetviewer;
    QToolButton* ToolButton_show_sipviewer;
    QToolButton* ToolButton_show_rtpspy;
    QToolButton* ToolButton_show_statistic;
    QToolButton* ToolButton_show_siptraceroute;
    QToolButton* ToolButton_show_sipgenerator;
    QTabWidget* PageControl1;
    QTimer m_pv_Timer1, m_rs_Timer, m_st_Timer;

    bool Capturing() const { return ToolButton1->property("tag").toInt() == 1; }
    int UpdateInterval() const { return m_UpdateInterval; }
    const QString& DisplayFilter() const { return m_DisplayFilter; }
    void SetDisplayFilter(const QString& expression) { m_DisplayFilter = expression; }
    bool OfflineMode() const { return m_OfflineMode; }
    CRealTimePacketDispatcher* Dispatcher() const { return m_Dispatcher.get(); }
    CRealTimePacketDispatcher* FilterDispatcher() const { return m_FilterDispatcher.get(); }
    CPacketCapture* FilterCapture() const { return m_FilterCapture.get(); }
    // Packets on each page: the packet list's rows, and what the pages whose views are not
    // built yet received.
    uint64_t PagePackets(int page) const { return page == 0 ? packetViewer_->RowCount() : pages_[page - 1]->Packets(); }
    // Rows of the packet list.
    uint64_t PacketListRows() const { return packetViewer_->RowCount(); }
    PacketViewerPage* PacketViewer() const { return packetViewer_; }

    // The file chosen in the save dialog (empty when cancelled); tests answer it.
    std::function<QString()> chooseSaveFile;
    bool SaveAllPackets(const QString& path);
    bool SaveSelectedPackets(const QString& path);

public slots:
    void ToolButton1Click();
    void ToolButton2Click();
    void ToolButton5Click();
    void ToolButton4Click();
    void confJitterBufClick();
    void ToolButton_show_packetviewerClick();
    void m_pv_Timer1Timer();

    QSize sizeHint() const override { return {900, 560}; }

protected:
    void closeEvent(QCloseEvent* event) override;

    void m_pv_AddPacket(QvrPacket* packet) override { packetViewer_->m_pv_AddPacket(packet); }
    void m_sv_AddPacket(QvrPacket*) override { pages_[0]->AddPacket(); }
    void m_rs_AddPacket(QvrPacket*) override { pages_[1]->AddPacket(); }
    void m_st_AddPacket(QvrPacket*) override { pages_[2]->AddPacket(); }
    void m_pv_Clear() override { packetViewer_->m_pv_Clear(); }
    void m_sv_Clear() override { pages_[0]->Clear(); }
    void m_rs_Clear() override { pages_[1]->Clear(); }
    void m_st_Clear() override { pages_[2]->Clear(); }

private:
    QToolButton* AddButton(const QString& name, const QString& hint, int image, bool checkable);
    void BuildPages();
    void SetCapturingState(int state);
    bool ProbeDissector();
    QString ChooseSaveFile();
    void StartDisplayFilterReplay();
    void EndDisplayFilter();
    void EnableReplayTimers();
    void DisableToolbarForReplay();

    std::mutex m_Lock;
    int m_UpdateInterval = 100;
    std::unique_ptr<CRealTimePacketDispatcher> m_Dispatcher;
    QString m_DisplayFilter;
    std::unique_ptr<CRealTimePacketDispatcher> m_FilterDispatcher;
    std::unique_ptr<CPacketCapture> m_FilterCapture;
    bool m_OfflineMode = false;
    CPacketCapture m_Capture;

    CAnalysis* m_Analysis = nullptr;
    QString m_Key;
    std::function<void(const QString&)> m_CloseNotification;
    PacketViewerPage* packetViewer_;
    PendingPage* pages_[3]; // SIP Viewer, RTP Spy, Statistic
    QWidget* hiddenPages_[2];
    bool closed_ = false;
};

} // namespace AnalyzerProject
