#include "mainform.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QPointer>
#include <QStyle>
#include <QToolBar>

#include "analysis_registry.h"
#include "analysisform.h"
#include "help_viewer.h"
#include "message_box.h"
#include "newdlg.h"
#include "quarvel_handles.h"
#include "rcapdlg.h"
#include "toolbar_images.h"
#include "version_window.h"

namespace AnalyzerProject {

TForm1::TForm1(QWidget* parent) : QMainWindow(parent), mdiArea_(new QMdiArea(this))
{
    setObjectName("Form1");
    setWindowTitle("Corvane Analyzer");
    resize(1100, 720);
    mdiArea_->setBackground(palette().brush(QPalette::Dark));
    setCentralWidget(mdiArea_);
    BuildActions();

    // Fade in: the window starts transparent.
    setWindowOpacity(0.0);
    Timer_splash.setInterval(150);
    connect(&Timer_splash, &QTimer::timeout, this, &TForm1::Timer_splashTimer);
    Timer_splash.start();

    setAcceptDrops(true);
    helpFile_ = QFileInfo(QDir(QCoreApplication::applicationDirPath()).filePath("corvane.chm")).absoluteFilePath();
    if (!QFileInfo::exists(helpFile_))
        ShowMessage(this, "Help file not found\n" + helpFile_, QString(), MessageIcon::None);

    connect(mdiArea_, &QMdiArea::subWindowActivated, this, [this] { UpdateWindowActions(); });
    UpdateWindowActions();
}

TForm1::~TForm1() = default;

void TForm1::BuildActions()
{
    auto* bar = addToolBar("Main");
    bar->setObjectName("ToolBar1");
    bar->setMovable(false);
    auto button = [&](const QString& name, const QString& hint, const QIcon& icon) {
        auto* b = new QToolButton(bar);
        b->setObjectName(name);
        b->setToolTip(hint);
        b->setIcon(icon);
        b->setAutoRaise(true);
        bar->addWidget(b);
        return b;
    };
    QStyle* style = QApplication::style();
    ToolButton9 = button("ToolButton9", "Remote Capture", ToolbarIcon(ImageRemoteCapture));
    ToolButton1 = button("ToolButton1", "Local Capture", ToolbarIcon(ImageLocalCapture));
    ToolButton2 = button("ToolButton2", "Open Offline Packet", ToolbarIcon(ImageCaptureFile));
    ToolButton10 = button("ToolButton10", "Packet Generator", style->standardIcon(QStyle::SP_FileIcon));
    ToolButton10->setEnabled(false);
    bar->actions().back()->setVisible(false); // a toolbar hides its widgets through their actions
    ToolButton3 = button("ToolButton3", "Close", style->standardIcon(QStyle::SP_DialogCloseButton));
    bar->addSeparator();
    ToolButton13 = button("ToolButton13", "Next Window", style->standardIcon(QStyle::SP_ArrowRight));
    auto* cascade = button("ToolButtonCascade", "Cascade", style->standardIcon(QStyle::SP_TitleBarNormalButton));
    auto* tileH = button("ToolButtonTileHorizontal", "Tile Horizontal", style->standardIcon(QStyle::SP_ToolBarVerticalExtensionButton));
    auto* tileV = button("ToolButtonTileVertical", "Tile Vertical", style->standardIcon(QStyle::SP_ToolBarHorizontalExtensionButton));

    connect(ToolButton9, &QToolButton::clicked, this, &TForm1::ToolButton9Click);
    connect(ToolButton1, &QToolButton::clicked, this, &TForm1::ToolButton1Click);
    connect(ToolButton2, &QToolButton::clicked, this, &TForm1::ToolButton2Click);
    connect(ToolButton3, &QToolButton::clicked, mdiArea_, &QMdiArea::closeActiveSubWindow);
    connect(ToolButton13, &QToolButton::clicked, this, &TForm1::NextWindow1Click);
    connect(cascade, &QToolButton::clicked, mdiArea_, &QMdiArea::cascadeSubWindows);
    connect(tileH, &QToolButton::clicked, this, [this] { TileWindows(Qt::Horizontal); });
    connect(tileV, &QToolButton::clicked, this, [this] { TileWindows(Qt::Vertical); });

    QMenu* file = menuBar()->addMenu("&File");
    file->addAction(ToolbarIcon(ImageRemoteCapture), "Remote Capture", this, &TForm1::ToolButton9Click);
    file->addAction(ToolbarIcon(ImageLocalCapture), "Local Capture", this, &TForm1::ToolButton1Click);
    file->addAction(ToolbarIcon(ImageCaptureFile), "Open Offline Packet", QKeySequence("Ctrl+O"), this,
                    &TForm1::ToolButton2Click);
    QAction* generator = file->addAction("Packet Generator");
    generator->setEnabled(false);
    generator->setVisible(false);
    file->addSeparator();
    QAction* closeForm = file->addAction("C&lose Form", mdiArea_, &QMdiArea::closeActiveSubWindow);
    file->addSeparator();
    file->addAction("Quit", QKeySequence("Ctrl+Q"), this, &TForm1::Quit1Click);

    windowMenu_ = menuBar()->addMenu("&Window");
    windowMenu_->addAction("Next Window", this, &TForm1::NextWindow1Click);
    QAction* cascadeEntry = windowMenu_->addAction("&Cascade", mdiArea_, &QMdiArea::cascadeSubWindows);
    QAction* tileHEntry = windowMenu_->addAction("Tile &Horizontally", this, [this] { TileWindows(Qt::Horizontal); });
    QAction* tileVEntry = windowMenu_->addAction("Tile &Vertically", this, [this] { TileWindows(Qt::Vertical); });
    windowMenu_->addSeparator();

    QMenu* help = menuBar()->addMenu("&Help");
    help->addAction("Corvane Analyzer Help", this, &TForm1::Help1Click);
    help->addAction("About", this, &TForm1::About2Click);
    help->addSeparator();
    help->addAction("Check New Version", this, &TForm1::CheckNewVersion1Click);

    windowActions_ = {closeForm, cascadeEntry, tileHEntry, tileVEntry};
    for (QToolButton* b : {ToolButton3, cascade, tileH, tileV})
        b->setProperty("windowAction", true);
}

void TForm1::UpdateWindowActions()
{
    const bool any = !mdiArea_->subWindowList().isEmpty();
    for (QAction* a : windowActions_)
        a->setEnabled(any);
    for (QToolButton* b : findChildren<QToolButton*>())
        if (b->property("windowAction").toBool())
            b->setEnabled(any);
}

// Horizontally: the windows one above the other, each as wide as the frame; vertically:
// side by side, each as high as the frame.
void TForm1::TileWindows(Qt::Orientation orientation)
{
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    if (windows.isEmpty())
        return;
    const QRect area = mdiArea_->viewport()->rect();
    const int n = static_cast<int>(windows.size());
    for (int i = 0; i < n; ++i) {
        QMdiSubWindow* w = windows[i];
        w->showNormal();
        if (orientation == Qt::Horizontal)
            w->setGeometry(0, area.height() * i / n, area.width(), area.height() / n);
        else
            w->setGeometry(area.width() * i / n, 0, area.width() / n, area.height());
    }
}

void TForm1::Timer_splashTimer()
{
    fadeLevel_ += 50;
    if (fadeLevel_ >= 255) {
        fadeLevel_ = 255;
        Timer_splash.stop();
    }
    setWindowOpacity(fadeLevel_ / 255.0);
}

CAnalysis* TForm1::NewAnalysis(const QString& name)
{
    return new CAnalysis(name.toStdString(), [this](CAnalysis*) -> AnalysisWindow* {
        auto* window = new TAnalysisForm();
        mdiArea_->addSubWindow(window);
        window->showMaximized();
        return window;
    });
}

bool TForm1::StartAnalysis(CAnalysis* analysis, const char* fileName, int origin)
{
    auto* window = static_cast<TAnalysisForm*>(analysis->Window());
    const QString name = QString::fromStdString(analysis->Name());
    const bool started = analysis->Start(fileName);
    if (!started) {
        ShowError(this, "Fail in creating the analysis.");
        if (window->Closed()) // the window closed itself, and its close destroyed the analysis
            return false;
        // Only the dissector probe failed: the window stays open and usable, and is
        // listed like any other so that it can be found and closed.
    }
    AddWindowMenuEntry(window, name, origin);
    UpdateWindowActions();
    return started;
}

int TForm1::RunDialog(QDialog& dialog) { return runDialog ? runDialog(dialog) : dialog.exec(); }

void TForm1::ToolButton1Click()
{
    TForm3 dialog(this);
    pcap_if* listed = nullptr;
    if (QvrGetAllNIC(&listed) != QVR_OK) {
        ShowError(this, "Fail in enumerating interfaces.");
        return;
    }
    const DeviceList devices(listed);
    int offered = 0;
    for (pcap_if* d = devices.get(); d; d = d->next) {
        if (IsInterfaceFree(d->name)) {
            dialog.AddAvailableInterface(QString::fromLocal8Bit(d->name));
            ++offered;
        }
    }
    if (offered == 0) {
        ShowMessage(this, "No available interface.", "INFOMATION", MessageIcon::Information);
        return;
    }
    dialog.SetAnalysisName(DefaultProjectName());
    if (RunDialog(dialog) != QDialog::Accepted)
        return;
    CAnalysis* analysis = NewAnalysis(dialog.AnalysisName());
    for (const QString& source : dialog.SelectedCaptions())
        analysis->AddInterface(source.toStdString(), nullptr);
    if (StartAnalysis(analysis, nullptr, ImageLocalCapture))
        ++projectCounter_;
}

void TForm1::ToolButton9Click()
{
    Tremotecapdlg dialog(this);
    dialog.SetAnalysisName(DefaultProjectName());
    if (RunDialog(dialog) != QDialog::Accepted)
        return;
    CAnalysis* analysis = NewAnalysis(dialog.AnalysisName());
    const QStringList sources = dialog.SelectedCaptions();
    const QStringList hosts = dialog.SelectedHosts();
    for (int i = 0; i < sources.size(); ++i) {
        // Each source gets a credentials record of its own, made from its host's scan.
        const auto host = dialog.ScannedHosts().find(hosts.value(i));
        AuthRecord auth = host != dialog.ScannedHosts().end() ? host->second.NewCredentials() : nullptr;
        analysis->AddInterface(sources[i].toStdString(), auth.release());
    }
    if (StartAnalysis(analysis, nullptr, ImageRemoteCapture))
        ++projectCounter_;
}

void TForm1::ToolButton2Click()
{
    const QString path = chooseCaptureFile
                             ? chooseCaptureFile()
                             : QFileDialog::getOpenFileName(this, QString(), "*.*",
                                                            "libpcap ( tcpdump, ethereal and etc ) (*.*)");
    if (!path.isEmpty())
        OpenCaptureFile(path);
}

void TForm1::OpenCaptureFile(const QString& path)
{
    if (!QFileInfo::exists(path)) {
        ShowError(this, "There is no such file");
        ToolButton3->setEnabled(true);
        return;
    }
    OpenFileAnalysis(QFileInfo(path).absoluteFilePath());
}

void TForm1::OpenFileAnalysis(const QString& fullPath)
{
    if (IsAnalysisNameUsed(fullPath.toStdString())) {
        ShowPlainError(this, " The specified file is opened !");
        return;
    }
    CAnalysis* analysis = NewAnalysis(fullPath);
    StartAnalysis(analysis, fullPath.toLocal8Bit().constData(), ImageCaptureFile);
    ToolButton3->setEnabled(true);
}

void TForm1::dragEnterEvent(QDragEnterEvent* event)
{
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void TForm1::dropEvent(QDropEvent* event)
{
    event->acceptProposedAction();
    OnDropFiles(event->mimeData()->urls());
}

void TForm1::OnDropFiles(const QList<QUrl>& files)
{
    if (files.size() != 1 || !files.front().isLocalFile())
        return; // only a drop of exactly one file is acted on
    OpenFileAnalysis(QFileInfo(files.front().toLocalFile()).absoluteFilePath());
}

void TForm1::AddWindowMenuEntry(TAnalysisForm* window, const QString& name, int origin)
{
    window->SetCloseNotification(name, [this](const QString& key) {
        RemoveWindowMenuEntry(key);
        QTimer::singleShot(0, this, [this] { UpdateWindowActions(); });
    });
    QAction* entry = windowMenu_->addAction(ToolbarIcon(origin), name);
    entry->setProperty("analysisEntry", true);
    connect(entry, &QAction::triggered, this, &TForm1::MDIChildListClick);
}

QList<QAction*> TForm1::WindowMenuEntries() const
{
    QList<QAction*> entries;
    for (QAction* a : windowMenu_->actions())
        if (a->property("analysisEntry").toBool())
            entries << a;
    return entries;
}

void TForm1::RemoveWindowMenuEntry(const QString& name)
{
    const QString wanted = QString(name).remove('&');
    for (QAction* a : WindowMenuEntries()) {
        if (a->text().remove('&').compare(wanted, Qt::CaseInsensitive) == 0) {
            windowMenu_->removeAction(a);
            a->deleteLater();
            return;
        }
    }
}

void TForm1::MDIChildListClick()
{
    auto* entry = qobject_cast<QAction*>(sender());
    if (!entry)
        return;
    QString name = entry->text();
    name.remove(name.indexOf('&'), name.contains('&') ? 1 : 0);
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it) {
        auto* window = qobject_cast<TAnalysisForm*>(*it);
        if (window && window->Key() == name)
            mdiArea_->setActiveSubWindow(window);
    }
}

void TForm1::NextWindow1Click()
{
    if (mdiArea_->subWindowList().size() > 1)
        mdiArea_->activateNextSubWindow();
}

void TForm1::Help1Click()
{
    HelpViewer::Show(helpFile_, this);
}

void TForm1::About2Click()
{
    QMessageBox::about(this, windowTitle(),
                       "<h3>Corvane Analyzer 0.1.5</h3>"
                       "<p>What the SIP signalling and the RTP media of calls did on the wire.</p>");
}

void TForm1::CheckNewVersion1Click()
{
    TForm7 version(this);
    version.exec();
}

void TForm1::Quit1Click() { close(); }

void TForm1::closeEvent(QCloseEvent* event)
{
    hide();
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        (*it)->close();
    HelpViewer::CloseAll();
    event->accept();
}

} // namespace AnalyzerProject
