// The main window: a multiple-document frame holding one analysis window per capture, the
// commands that open analyses (local capture, remote capture, a capture file, a dropped
// file), the Window menu with one entry per analysis, help and version information.
#pragma once

#include <QDialog>
#include <QMainWindow>
#include <QMdiArea>
#include <QMenu>
#include <QTimer>
#include <QUrl>
#include <QToolButton>

#include <functional>

namespace AnalyzerProject {

class CAnalysis;
class TAnalysisForm;

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    explicit TForm1(QWidget* parent = nullptr);
    ~TForm1() override;

    // Opens a capture file as if chosen in the open dialog (also for the command line).
    void OpenCaptureFile(const QString& path);

    int ProjectCounter() const { return projectCounter_; }
    QString DefaultProjectName() const { return QString("Project%1").arg(projectCounter_); }
    QMdiArea* MdiArea() const { return mdiArea_; }
    QMenu* WindowMenu() const { return windowMenu_; }
    // The analysis entries of the Window menu, in order.
    QList<QAction*> WindowMenuEntries() const;
    int FadeLevel() const { return fadeLevel_; }
    const QString& HelpFilePath() const { return helpFile_; }

    // Modal steps, replaceable by tests: the file chosen in the open dialog (empty when
    // cancelled), and running a capture dialog (its result code).
    std::function<QString()> chooseCaptureFile;
    std::function<int(QDialog&)> runDialog;

    QToolButton* ToolButton9;  // Remote Capture
    QToolButton* ToolButton1;  // Local Capture
    QToolButton* ToolButton2;  // Open Offline Packet
    QToolButton* ToolButton10; // Packet Generator
    QToolButton* ToolButton3;  // Close
    QToolButton* ToolButton13; // Next Window
    QTimer Timer_splash;

public slots:
    void ToolButton9Click();
    void ToolButton1Click();
    void ToolButton2Click();
    void Timer_splashTimer();
    void NextWindow1Click();
    void Help1Click();
    void About2Click();
    void CheckNewVersion1Click();
    void Quit1Click();
    void OnDropFiles(const QList<QUrl>& files);

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void BuildActions();
    // Makes the analysis and its window; null when it could not be made.
    CAnalysis* NewAnalysis(const QString& name);
    // Starts the analysis; on success installs the Window menu entry with `origin`'s image.
    bool StartAnalysis(CAnalysis* analysis, const char* fileName, int origin);
    void OpenFileAnalysis(const QString& path);
    void AddWindowMenuEntry(TAnalysisForm* window, const QString& name, int origin);
    void RemoveWindowMenuEntry(const QString& name);
    void MDIChildListClick();
    void UpdateWindowActions();
    int RunDialog(QDialog& dialog);
    void TileWindows(Qt::Orientation orientation);

    QMdiArea* mdiArea_;
    QMenu* windowMenu_;
    QList<QAction*> windowActions_; // arrangement and close actions, off without windows
    int projectCounter_ = 0;
    int fadeLevel_ = 0;
    QString helpFile_;
};

} // namespace AnalyzerProject
