#include "pending_page.h"

#include <QVBoxLayout>

namespace AnalyzerProject {

PendingPage::PendingPage(const QString& title, QWidget* parent) : QWidget(parent), title_(title), text_(new QLabel(this))
{
    auto* layout = new QVBoxLayout(this);
    text_->setAlignment(Qt::AlignCenter);
    text_->setWordWrap(true);
    layout->addWidget(text_);
    connect(&refresh_, &QTimer::timeout, this, &PendingPage::Refresh);
    refresh_.start(200);
    Refresh();
}

void PendingPage::Refresh()
{
    if (shown_ == packets_)
        return;
    shown_ = packets_;
    text_->setText(QString("<h3>%1</h3><p>%2 packet%3 received.</p><p><i>This page's view is not built yet.</i></p>")
                       .arg(title_)
                       .arg(packets_)
                       .arg(packets_ == 1 ? "" : "s"));
}

} // namespace AnalyzerProject
