#include "help_viewer.h"

#include <QFile>
#include <QPointer>
#include <QTextBrowser>

namespace AnalyzerProject {

namespace {
QPointer<QTextBrowser>& viewer()
{
    static QPointer<QTextBrowser> window;
    return window;
}
} // namespace

void HelpViewer::Show(const QString& helpFile, QWidget*)
{
    if (!viewer()) {
        viewer() = new QTextBrowser();
        viewer()->setAttribute(Qt::WA_DeleteOnClose);
        viewer()->setWindowTitle("Corvane Analyzer Help");
        viewer()->resize(720, 560);
    }
    QFile file(helpFile);
    if (file.open(QIODevice::ReadOnly))
        viewer()->setHtml(QString::fromUtf8(file.readAll()));
    else
        viewer()->setPlainText("Help file not found\n" + helpFile);
    viewer()->show();
    viewer()->raise();
}

void HelpViewer::CloseAll()
{
    if (viewer())
        viewer()->close();
}

} // namespace AnalyzerProject
