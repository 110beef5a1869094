#include "version_window.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace AnalyzerProject {

QUrl TForm7::VersionPage() { return QUrl("https://corvane.invalid/analyzer/version.html?version=0.1.5"); }

TForm7::TForm7(QWidget* parent) : QDialog(parent), CppWebBrowser1(new QTextBrowser(this)),
    network_(new QNetworkAccessManager(this))
{
    setWindowTitle("Check New Version");
    resize(808, 527);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(CppWebBrowser1);
    CppWebBrowser1->setObjectName("CppWebBrowser1");
    CppWebBrowser1->setOpenExternalLinks(true);
    CppWebBrowser1->setHtml("<p>Loading " + VersionPage().toString().toHtmlEscaped() + " ...</p>");

    QNetworkRequest request(VersionPage());
    request.setTransferTimeout(8000);
    QNetworkReply* reply = network_->get(request);
    connect(reply, &QNetworkReply::finished, this, [this, reply] {
        reply->deleteLater();
        if (reply->error() == QNetworkReply::NoError)
            CppWebBrowser1->setHtml(QString::fromUtf8(reply->readAll()));
        else
            CppWebBrowser1->setHtml("<h3>The version page could not be loaded.</h3><p>"
                                    + VersionPage().toString().toHtmlEscaped() + "</p><p>"
                                    + reply->errorString().toHtmlEscaped() + "</p>");
    });
}

} // namespace AnalyzerProject
