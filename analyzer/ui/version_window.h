// "Check New Version": the program's version page, asked for with the running version in
// its query. Without a network the window says the page could not be loaded.
#pragma once

#include <QDialog>
#include <QUrl>

class QNetworkAccessManager;
class QTextBrowser;

namespace AnalyzerProject {

class TForm7 : public QDialog {
    Q_OBJECT
public:
    explicit TForm7(QWidget* parent = nullptr);
    static QUrl VersionPage();
    QTextBrowser* CppWebBrowser1;

private:
    QNetworkAccessManager* network_;
};

} // namespace AnalyzerProject
