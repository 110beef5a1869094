#include "analysisform.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryFile>
#include <QToolBar>
#include <QVBoxLayout>

#include "child_process.h"
#include "external_dissector.h"
#include "message_box.h"
#include "settingdlg.h"
#include "toolbar_images.h"

namespace AnalyzerProject {

namespace {
constexpr int kReplayCountdown = 5;
const char* const kPageTitles[] = {"Packet Viewer", "SIP Viewer", "RTP Spy", "Statistic", "SIP Traceroute",
                                   "SIP Generator"};
} // namespace

TAnalysisForm::TAnalysisForm(QWidget* parent) : QMdiSubWindow(parent)
{
    setObjectName("AnalysisForm");
    setAttribute(Qt::WA_DeleteOnClose);
    auto* body = new QWidget(this);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* bar = new QToolBar(body);
    bar->setObjectName("ToolBar1");
    bar->setIconSize(QSize(20, 20));
    layout->addWidget(bar);

    auto add = [&](const QString& name, const QString& hint, int image, bool checkable) {
        QToolButton* b = AddButton(name, hint, image, checkable);
        bar->addWidget(b);
        return b;
    };
    ToolButton1 = add("ToolButton1", "Capture Control", ImageCaptureStart, false);
    ToolButton2 = add("ToolButton2", "Save as a file", ImageSave, false);
    ToolButton2->setEnabled(false);
    bar->addSeparator();
    ToolButton5 = add("ToolButton5", "Display Filter", ImageDisplayFilter, true);
    ToolButton4 = add("ToolButton4", "Options", ImageOptions, false);
    ToolButton7 = add("ToolButton7", "Jitter Buffer Configure", ImageJitterBuffer, false);
    bar->addSeparator();
    ToolButton_show_packetviewer = add("ToolButton_show_packetviewer", "Packet Viewer", ImagePacketViewer, true);
    ToolButton_show_sipviewer = add("ToolButton_show_sipviewer", "SIP Viewer", ImageSipViewer, true);
    ToolButton_show_rtpspy = add("ToolButton_show_rtpspy", "RTP Spy", ImageRtpSpy, true);
    ToolButton_show_statistic = add("ToolButton_show_statistic", "Statistic", ImageStatistic, true);
    ToolButton_show_siptraceroute = AddButton("ToolButton_show_siptraceroute", "SIP Traceroute", ImageOptions, true);
    ToolButton_show_sipgenerator = AddButton("ToolButton_show_sipgenerator", "SIP Generator", 5, true);
    for (QToolButton* b : {ToolButton_show_packetviewer, ToolButton_show_sipviewer, ToolButton_show_rtpspy,
                           ToolButton_show_statistic, ToolButton_show_siptraceroute, ToolButton_show_sipgenerator}) {
        b->setChecked(true);
        connect(b, &QToolButton::clicked, this, &TAnalysisForm::ToolButton_show_packetviewerClick);
    }
    ToolButton_show_siptraceroute->hide();
    ToolButton_show_sipgenerator->hide();
    SetCapturingState(0);

    connect(ToolButton1, &QToolButton::clicked, this, &TAnalysisForm::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TAnalysisForm::ToolButton2Click);
    connect(ToolButton5, &QToolButton::clicked, this, &TAnalysisForm::ToolButton5Click);
    connect(ToolButton4, &QToolButton::clicked, this, &TAnalysisForm::ToolButton4Click);
    connect(ToolButton7, &QToolButton::clicked, this, &TAnalysisForm::confJitterBufClick);

    PageControl1 = new QTabWidget(body);
    PageControl1->setObjectName("PageControl1");
    layout->addWidget(PageControl1, 1);
    BuildPages();
    setWidget(body);

    m_pv_Timer1.setInterval(1000);
    m_rs_Timer.setInterval(500);
    m_st_Timer.setInterval(1000);
    connect(&m_pv_Timer1, &QTimer::timeout, this, &TAnalysisForm::m_pv_Timer1Timer);
    m_st_Timer.start();
    ResetPages();
}

TAnalysisForm::~TAnalysisForm()
{
    // Nothing may walk a store or deliver to a page once the members start to go.
    m_Capture.StopCapture();
    StopDispatcher(true);
    m_FilterDispatcher.reset();
    m_FilterCapture.reset();
}

QToolButton* TAnalysisForm::AddButton(const QString& name, const QString& hint, int image, bool checkable)
{
    auto* b = new QToolButton(this);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setIcon(ToolbarIcon(image));
    b->setProperty("image", image);
    b->setCheckable(checkable);
    b->setAutoRaise(true);
    return b;
}

void TAnalysisForm::BuildPages()
{
    packetViewer_ = new PacketViewerPage(PageControl1);
    packetViewer_->setObjectName("PktViewer");
    packetViewer_->feedingSession = [this]() -> CPacketCapture* {
        return ToolButton5->isChecked() && m_FilterCapture ? m_FilterCapture.get() : &m_Capture;
    };
    packetViewer_->showError = [this](const QString& text, const QString& caption) {
        ShowMessage(this, text, caption, MessageIcon::Error);
    };
    packetViewer_->saveAll = [this] {
        const QString path = ChooseSaveFile();
        if (!path.isEmpty())
            SaveAllPackets(path);
    };
    packetViewer_->saveSelected = [this] {
        const QString path = ChooseSaveFile();
        if (!path.isEmpty())
            SaveSelectedPackets(path);
    };
    PageControl1->addTab(packetViewer_, kPageTitles[0]);
    for (int i = 0; i < 3; ++i) {
        pages_[i] = new PendingPage(kPageTitles[i + 1], PageControl1);
        pages_[i]->setObjectName(QStringList{"SIPViewer", "RTPSpy", "Statistic"}[i]);
        PageControl1->addTab(pages_[i], kPageTitles[i + 1]);
    }
    // Pages without content, their tabs hidden.
    for (int i = 0; i < 2; ++i) {
        hiddenPages_[i] = new QWidget(PageControl1);
        hiddenPages_[i]->setObjectName(i == 0 ? "SIPTraceroute" : "SIPGenerator");
        PageControl1->addTab(hiddenPages_[i], kPageTitles[4 + i]);
        PageControl1->setTabVisible(4 + i, false);
    }
}

void TAnalysisForm::SetCapturingState(int state)
{
    ToolButton1->setProperty("tag", state);
    ToolButton1->setProperty("image", state ? ImageCaptureStop : ImageCaptureStart);
    ToolButton1->setIcon(ToolbarIcon(state ? ImageCaptureStop : ImageCaptureStart));
}

bool TAnalysisForm::OpenCapture(const char* fileName)
{
    for (int page : {0, 1, 2, 3, 0})
        PageControl1->setCurrentIndex(page);
    SetCapturingState(0);
    m_UpdateInterval = 100;
    m_Capture.SetLock(&m_Lock);
    if (!m_Capture.Open(fileName, nullptr)) {
        close();
        return false;
    }
    if (fileName) {
        // Display Filter waits for the replay's end as well: a filter replay started meanwhile
        // would feed the pages together with this one.
        for (QToolButton* b : {ToolButton1, ToolButton2, ToolButton5, ToolButton4})
            b->setEnabled(false);
        m_OfflineMode = true;
        if (!StartDispatcher(0, kReplayCountdown)) {
            ShowError(this, "Can't dispatch packet.");
            close();
            return false;
        }
        m_pv_Timer1.start();
        m_rs_Timer.start();
    }
    return ProbeDissector();
}

QString TAnalysisForm::DissectorPath() { return ExternalToolPath("tethereal"); }

void TAnalysisForm::SetDissectorPath(const QString& path) { SetExternalToolPath("tethereal", path); }

// The external dissector must be startable; it is started without arguments and ended at
// once.
bool TAnalysisForm::ProbeDissector() { return ProbeChild(DissectorPath()); }

bool TAnalysisForm::StartDispatcher(uint32_t startIndex, int countdown)
{
    if (m_Dispatcher)
        return false;
    m_Dispatcher = std::make_unique<CRealTimePacketDispatcher>(&m_Capture, this, startIndex, m_UpdateInterval,
                                                               countdown, true);
    m_Dispatcher->Resume();
    return true;
}

void TAnalysisForm::StopDispatcher(bool immediate)
{
    if (!m_Dispatcher)
        return;
    if (immediate)
        m_Dispatcher->SetStopNow();
    m_Dispatcher->Terminate();
    m_Dispatcher->WaitFor();
    m_Dispatcher.reset();
}

void TAnalysisForm::ToolButton1Click()
{
    if (!Capturing()) {
        StopDispatcher(true);
        ResetPages();
        if (ToolButton5->isChecked()) {
            m_FilterCapture.reset();
            ToolButton5->setChecked(false);
        }
        m_Capture.StartCapture(false);
        StartDispatcher(0, 0);
        m_rs_Timer.start();
        m_st_Timer.start();
        SetCapturingState(1);
        ToolButton4->setEnabled(false);
        ToolButton5->setEnabled(false);
        ToolButton2->setEnabled(false);
        return;
    }
    m_Capture.StopCapture();
    StopDispatcher(true);
    SetCapturingState(0);
    ToolButton4->setEnabled(true);
    m_rs_Timer.stop();
    m_st_Timer.stop();
    const bool rows = PacketListRows() > 0;
    ToolButton2->setEnabled(rows);
    ToolButton5->setEnabled(rows);
}

bool TAnalysisForm::SaveAllPackets(const QString& path)
{
    if (m_Capture.SavePackets(path.toLocal8Bit().constData(), nullptr))
        return true;
    ShowError(this, "Can't save the file.");
    return false;
}

QString TAnalysisForm::ChooseSaveFile()
{
    if (chooseSaveFile)
        return chooseSaveFile();
    return QFileDialog::getSaveFileName(this, QString(), QString(), "libpcap ( tcpdump, ethereal and etc ) (*.*)");
}

// The selected rows' packets, in capture order whatever the list's order, from the session
// that feeds the list; written through the window's own session.
bool TAnalysisForm::SaveSelectedPackets(const QString& path)
{
    CPacketCapture* feeding = packetViewer_->feedingSession();
    std::vector<QvrPacket*> selection;
    PacketCursor cursor = feeding->FirstPacket();
    uint32_t cursorIndex = 0;
    for (uint32_t number : packetViewer_->SelectedRowNumbers()) {
        if (QvrPacket* p = feeding->GetPacketFrom(number, cursor, cursorIndex)) {
            selection.push_back(p);
            cursorIndex = number;
        }
    }
    if (m_Capture.SavePackets(path.toLocal8Bit().constData(), &selection))
        return true;
    ShowError(this, "Can't save the file.");
    return false;
}

void TAnalysisForm::ToolButton2Click()
{
    const QString path = ChooseSaveFile();
    if (!path.isEmpty())
        SaveAllPackets(path);
}

void TAnalysisForm::confJitterBufClick()
{
    // The jitter buffer setting comes with the RTP player.
}

void TAnalysisForm::ToolButton5Click()
{
    if (ToolButton5->isChecked())
        StartDisplayFilterReplay();
    else
        EndDisplayFilter();
}

void TAnalysisForm::EnableReplayTimers()
{
    m_rs_Timer.start();
    m_st_Timer.start();
}

void TAnalysisForm::DisableToolbarForReplay()
{
    for (QToolButton* b : {ToolButton1, ToolButton2, ToolButton5, ToolButton4})
        b->setEnabled(false);
    m_pv_Timer1.start();
}

void TAnalysisForm::StartDisplayFilterReplay()
{
    if (m_DisplayFilter.isEmpty()) {
        ToolButton5->setChecked(false);
        return;
    }
    if (m_FilterDispatcher || m_FilterCapture)
        return;
    m_FilterCapture = std::make_unique<CPacketCapture>();
    const QByteArray filter = m_DisplayFilter.toLocal8Bit();
    bool opened;
    if (m_OfflineMode) {
        opened = m_FilterCapture->Open(windowTitle().toLocal8Bit().constData(), filter.constData());
    } else {
        // The snapshot gets a unique name that nobody can guess, and is removed as soon as
        // the filtered session has it open: nothing of it remains.
        QTemporaryFile snapshot(QDir::temp().filePath("corvane-snapshot-XXXXXX.pcap"));
        snapshot.setAutoRemove(true);
        if (!snapshot.open()) {
            opened = false;
        } else {
            snapshot.close();
            SaveAllPackets(snapshot.fileName());
            m_FilterCapture->SetLock(&m_Lock);
            opened = m_FilterCapture->Open(snapshot.fileName().toLocal8Bit().constData(), filter.constData());
        }
    }
    if (!opened) {
        ToolButton5->setChecked(false);
        m_FilterCapture.reset();
        return;
    }
    m_FilterDispatcher = std::make_unique<CRealTimePacketDispatcher>(m_FilterCapture.get(), this, 0,
                                                                     m_UpdateInterval, kReplayCountdown, true);
    m_FilterDispatcher->Resume();
    ResetPages();
    EnableReplayTimers();
    DisableToolbarForReplay();
}

void TAnalysisForm::EndDisplayFilter()
{
    ResetPages();
    m_FilterCapture.reset();
    EnableReplayTimers();
    StartDispatcher(0, kReplayCountdown);
    DisableToolbarForReplay();
}

void TAnalysisForm::ToolButton4Click()
{
    TForm2 settings(this);
    settings.Prepare(&m_Capture, m_UpdateInterval, m_DisplayFilter, m_OfflineMode);
    if ((runDialog ? runDialog(settings) : settings.exec()) != QDialog::Accepted)
        return;
    m_UpdateInterval = settings.UpdateIntervalMs();
    m_DisplayFilter = settings.DisplayFilter();
}

void TAnalysisForm::ToolButton_show_packetviewerClick()
{
    auto* button = qobject_cast<QToolButton*>(sender());
    const QToolButton* buttons[] = {ToolButton_show_packetviewer, ToolButton_show_sipviewer, ToolButton_show_rtpspy,
                                    ToolButton_show_statistic, ToolButton_show_siptraceroute};
    for (int page = 0; page < 5; ++page)
        if (button == buttons[page])
            PageControl1->setTabVisible(page, button->isChecked());
}

// The replay-end watcher: once the replay's dispatcher has ended, the toolbar comes back.
void TAnalysisForm::m_pv_Timer1Timer()
{
    if (ToolButton5->isChecked()) {
        if (!m_FilterCapture || !m_FilterDispatcher || !m_FilterDispatcher->Ending())
            return;
        m_FilterDispatcher->WaitFor();
        m_FilterDispatcher.reset();
    } else {
        if (m_Dispatcher && !m_Dispatcher->Ending())
            return;
        StopDispatcher(true);
    }
    ToolButton1->setEnabled(!m_OfflineMode);
    ToolButton2->setEnabled(PacketListRows() > 0 && !m_OfflineMode);
    ToolButton5->setEnabled(true);
    ToolButton4->setEnabled(true);
    m_pv_Timer1.stop();
}

void TAnalysisForm::SetCloseNotification(const QString& key, std::function<void(const QString&)> notify)
{
    m_Key = key;
    m_CloseNotification = std::move(notify);
}

void TAnalysisForm::closeEvent(QCloseEvent* event)
{
    if (closed_) {
        event->accept();
        return;
    }
    closed_ = true;
    m_Capture.StopCapture();
    StopDispatcher(true);
    if (m_FilterDispatcher) {
        m_FilterDispatcher->SetStopNow();
        m_FilterDispatcher->Terminate();
        m_FilterDispatcher->WaitFor();
        m_FilterDispatcher.reset();
    }
    ResetPages();
    m_FilterCapture.reset();
    delete m_Analysis;
    m_Analysis = nullptr;
    const auto notify = std::move(m_CloseNotification);
    m_CloseNotification = nullptr;
    event->accept();
    if (notify)
        notify(m_Key);
}

} // namespace AnalyzerProject
